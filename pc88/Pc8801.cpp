// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc88/Pc8801.h"

#include <algorithm>
#include <cstdio>

#include <z80ex/z80ex.h>

namespace pc88 {

namespace {

// Model time of the n-th tick (1/60 s of the 4 MHz clock).
std::uint64_t TickTime(std::uint64_t n) {
    return n * kClockHz / 60;
}

std::uint64_t Seconds(double s) {
    return static_cast<std::uint64_t>(s * static_cast<double>(kClockHz));
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "&H%04X", value & 0xFFFF);
    return text;
}

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "&H%02X", value & 0xFF);
    return text;
}

// Time the stand-ins take, in T-states, and the bytes of stack they use.
constexpr std::uint64_t kCostMotor = 20'000;
constexpr std::uint64_t kCostCmtStart = 3'000;
constexpr std::uint64_t kCostCmtStop = 1'000;
constexpr std::uint64_t kCostPoll = 250;
constexpr std::uint64_t kCostCpHlDe = 60;
constexpr std::uint64_t kCostVrtcHandler = 1'500;
constexpr unsigned kStackCassette = 16;
constexpr unsigned kStackPoll = 12;
constexpr unsigned kStackPutChar = 24;
constexpr unsigned kStackRsPut = 12;
constexpr unsigned kStackCpHlDe = 2;
constexpr unsigned kStackVrtcHandler = 20;
constexpr unsigned kBitsPerTapeByte = 11;
constexpr unsigned kBitsPerRs232Char = 10;
constexpr std::size_t kMaxFailures = 24;

constexpr std::uint8_t kFlagZ = 0x40;
constexpr std::uint8_t kFlagC = 0x01;

} // namespace

CPc8801Model::CPc8801Model(Layout layout, std::uint32_t seed) : m_layout(layout), m_random(seed) {
    for (auto& b : m_ram)
        b = static_cast<std::uint8_t>(m_random());
    for (auto& b : m_rom)
        b = static_cast<std::uint8_t>(m_random());
    for (auto& plane : m_planes)
        for (auto& b : plane)
            b = static_cast<std::uint8_t>(m_random());
    SetRamWord(kCellVrtcVector, kBasicVrtcHandler);
    m_ram[kCellPort40] = m_port40;
    m_ram[kCellPort31] = m_port31;
    m_ram[kCellRxError] = 0;
    m_ram[kCellCmtFlags] = 0x41;
    m_ram[kCellSpeed] = 0x5A;

    m_cpu = z80ex_create(ReadMem, this, WriteMem, this, ReadPort, this, WritePort, this, IntVector,
                         this);
    z80ex_reset(m_cpu);
    z80ex_set_reg(m_cpu, regI, 0xF3);
    z80ex_set_reg(m_cpu, regIM, 2);
}

CPc8801Model::~CPc8801Model() {
    z80ex_destroy(m_cpu);
}

void CPc8801Model::LoadRoutine(std::span<const std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), m_ram.begin() + m_layout.origin);
}

std::uint16_t CPc8801Model::RamWord(std::uint16_t address) const {
    return static_cast<std::uint16_t>(m_ram[address] |
                                      (m_ram[static_cast<std::uint16_t>(address + 1)] << 8));
}

void CPc8801Model::SetRamWord(std::uint16_t address, std::uint16_t value) {
    m_ram[address] = static_cast<std::uint8_t>(value);
    m_ram[static_cast<std::uint16_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t CPc8801Model::BufferByte(std::uint16_t offset) const {
    const unsigned bank = offset >> 14;
    if (bank == 0)
        return m_ram[0x4000 + offset];
    return m_planes[bank - 1][offset & 0x3FFF];
}

void CPc8801Model::SetBufferByte(std::uint16_t offset, std::uint8_t value) {
    const unsigned bank = offset >> 14;
    if (bank == 0)
        m_ram[0x4000 + offset] = value;
    else
        m_planes[bank - 1][offset & 0x3FFF] = value;
}

void CPc8801Model::ClearLogs() {
    m_screen.clear();
    m_rs232.clear();
    m_romCalls.clear();
}

// ---- the cassette and the keyboard ------------------------------------------

void CPc8801Model::TapeGap(double seconds) {
    m_tapeEnd += Seconds(seconds);
}

void CPc8801Model::TapeByte(std::uint8_t byte, int baud, bool receiveError) {
    m_tapeEnd += kBitsPerTapeByte * kClockHz / static_cast<std::uint64_t>(baud);
    m_tape.push_back({m_tapeEnd, byte, baud, receiveError});
}

void CPc8801Model::TapeBytes(std::span<const std::uint8_t> bytes, int baud) {
    for (std::uint8_t b : bytes)
        TapeByte(b, baud);
}

void CPc8801Model::KeyAtSeconds(double secondsFromNow, std::uint8_t key) {
    m_keys.push_back({m_now + Seconds(secondsFromNow), 0, key});
}

void CPc8801Model::KeyAfterTapeBytes(std::size_t n, std::uint8_t key) {
    m_keys.push_back({0, n, key});
}

// Moves the tape to the present; bytes whose last bit has passed the head
// reach the ROM's cassette input when it is on and set to their speed.
void CPc8801Model::AdvanceTape() {
    if (m_motor)
        m_tapePos += m_now - m_tapeUpdated;
    m_tapeUpdated = m_now;
    while (m_tapeNext < m_tape.size() && m_tape[m_tapeNext].at <= m_tapePos) {
        const TapeItem& item = m_tape[m_tapeNext++];
        if (!m_input || item.baud != m_inputBaud)
            ++m_tapeUnheard;
        else if (m_tapeFifo.size() >= m_tapeDepth) {
            ++m_tapeOverruns; // the USART's overrun error: the ROM reports it as a receive error
            m_ram[kCellRxError] = 0x01;
        } else
            m_tapeFifo.push_back(item);
    }
}

// ---- memory and ports ---------------------------------------------------------

std::uint8_t CPc8801Model::CpuRead(std::uint16_t address) const {
    if (address < 0x8000 && (m_port31 & 0x02) == 0)
        return m_rom[address];
    if (address >= 0xC000 && m_plane >= 0)
        return m_planes[static_cast<std::size_t>(m_plane)][address - 0xC000];
    return m_ram[address];
}

bool CPc8801Model::WriteAllowed(std::uint16_t a) const {
    if (a >= 0xC000 && m_plane >= 0)
        return true; // a graphic plane: buffer banks 1-3
    if (a >= 0x4000 && a < 0x8000)
        return true; // buffer bank 0
    if (a >= m_layout.origin && a < 0xC000)
        return true; // the routine's own area and stack
    if (a >= kBasicSp - 0x100 && a < kBasicSp)
        return true; // free space of BASIC's stack
    if (a == kArgAddress || a == kArgAddress + 1)
        return true; // the USR result
    return a == kCellVrtcVector || a == kCellVrtcVector + 1 || a == kCellPort40 ||
           a == kCellRxError || a == kCellCmtFlags || a == kCellSpeed;
}

void CPc8801Model::CpuWrite(std::uint16_t address, std::uint8_t value) {
    if (m_inCall && !WriteAllowed(address)) {
        if (++m_badWrites <= 4)
            Fail("wrote " + Hex2(value) + " to " + Hex4(address) + ", outside its places");
    }
    if (address >= 0xC000 && m_plane >= 0)
        m_planes[static_cast<std::size_t>(m_plane)][address - 0xC000] = value;
    else
        m_ram[address] = value;
}

std::uint8_t CPc8801Model::ReadMem(_z80_cpu_context*, std::uint16_t address, int, void* self) {
    return static_cast<CPc8801Model*>(self)->CpuRead(address);
}

void CPc8801Model::WriteMem(_z80_cpu_context*, std::uint16_t address, std::uint8_t value,
                            void* self) {
    static_cast<CPc8801Model*>(self)->CpuWrite(address, value);
}

std::uint8_t CPc8801Model::ReadPort(_z80_cpu_context*, std::uint16_t port, void* self) {
    static_cast<CPc8801Model*>(self)->Fail("read port " + Hex2(port));
    return 0xFF;
}

void CPc8801Model::WritePort(_z80_cpu_context*, std::uint16_t port, std::uint8_t value,
                             void* self) {
    auto* model = static_cast<CPc8801Model*>(self);
    switch (port & 0xFF) {
    case 0x31:
        model->m_port31 = value;
        break;
    case 0x40:
        model->m_port40 = value;
        break;
    case 0x5C:
    case 0x5D:
    case 0x5E:
        model->m_plane = (port & 0xFF) - 0x5C;
        break;
    case 0x5F:
        model->m_plane = -1;
        break;
    default:
        model->Fail("wrote port " + Hex2(port));
        break;
    }
}

// Mode 2: the vertical-retrace request puts &H02 on the bus; with I = &HF3
// the CPU takes the handler's address from &HF302.
std::uint8_t CPc8801Model::IntVector(_z80_cpu_context*, void*) {
    return 0x02;
}

// ---- running ----------------------------------------------------------------------

void CPc8801Model::Fail(const std::string& what) {
    if (m_failures.size() < kMaxFailures)
        m_failures.push_back(what);
}

void CPc8801Model::ServiceTicks() {
    while (m_now >= TickTime(m_tickCount + 1)) {
        ++m_tickCount;
        // A stand-in that takes longer than a tick stands for ROM code that
        // would have taken the tick itself; only the routine can lose one.
        if (m_intPending && !m_inStandIn)
            Fail("a tick was lost: interrupts stayed off for more than 1/60 s");
        m_intPending = true;
        m_beeperTicks.push_back((m_port40 & 0x20) != 0);
    }
    if (m_intPending && z80ex_last_op_type(m_cpu) == 0) {
        const bool normal = BanksNormal();
        const int t = z80ex_int(m_cpu);
        if (t > 0) {
            if (!normal)
                Fail("an interrupt was accepted while a bank was switched");
            m_intPending = false;
            m_now += static_cast<std::uint64_t>(t);
            ++m_acceptedInts;
        }
    }
}

void CPc8801Model::Step() {
    if (z80ex_last_op_type(m_cpu) == 0) {
        const std::uint16_t pc = z80ex_get_reg(m_cpu, regPC);
        switch (pc) {
        case kRomCmtMotor:
        case kRomCmtStart:
        case kRomCmtStop:
        case kRomPoll:
        case kRomPutChar:
        case kRomRsPut:
        case kRomCpHlDe:
        case kBasicVrtcHandler:
            RunTrap(pc);
            return;
        default:
            break;
        }
        if (pc < m_layout.origin || pc >= m_layout.codeEnd) {
            Fail("ran outside its code, at " + Hex4(pc));
            m_stop = true;
            return;
        }
        if (z80ex_doing_halt(m_cpu) && z80ex_get_reg(m_cpu, regIFF1) == 0) {
            Fail("HALT with interrupts off: a hang");
            m_stop = true;
            return;
        }
    }
    m_now += static_cast<std::uint64_t>(z80ex_step(m_cpu));
    const std::uint16_t sp = z80ex_get_reg(m_cpu, regSP);
    if (sp >= m_layout.origin && sp <= 0xC000)
        m_minOwnSp = std::min(m_minOwnSp, sp);
    ServiceTicks();
}

void CPc8801Model::Clobber(unsigned keep, int a, std::uint8_t flagsMask, std::uint8_t flagsValue) {
    if (keep & keepAll)
        return;
    if (!(keep & keepBC))
        z80ex_set_reg(m_cpu, regBC, Random16());
    if (!(keep & keepDE))
        z80ex_set_reg(m_cpu, regDE, Random16());
    if (!(keep & keepHL))
        z80ex_set_reg(m_cpu, regHL, Random16());
    for (Z80_REG_T reg : {regIX, regIY, regAF_, regBC_, regDE_, regHL_})
        z80ex_set_reg(m_cpu, reg, Random16());
    const std::uint16_t r = Random16();
    const std::uint8_t newA =
        a >= 0 ? static_cast<std::uint8_t>(a) : static_cast<std::uint8_t>(r >> 8);
    const std::uint8_t newF =
        static_cast<std::uint8_t>((r & ~flagsMask) | (flagsValue & flagsMask));
    z80ex_set_reg(m_cpu, regAF, static_cast<std::uint16_t>((newA << 8) | newF));
}

void CPc8801Model::ReturnFromTrap(std::uint64_t cost, unsigned stackUse) {
    const std::uint16_t sp = z80ex_get_reg(m_cpu, regSP);
    // The ROM routine's own pushes and calls below the caller's SP.
    for (unsigned i = 1; i <= stackUse; ++i)
        m_ram[static_cast<std::uint16_t>(sp - i)] = static_cast<std::uint8_t>(m_random());
    if (sp >= m_layout.origin && sp <= 0xC000)
        m_minOwnSp = std::min<std::uint16_t>(m_minOwnSp, static_cast<std::uint16_t>(sp - stackUse));
    const std::uint16_t ret = static_cast<std::uint16_t>(
        CpuRead(sp) | (CpuRead(static_cast<std::uint16_t>(sp + 1)) << 8));
    z80ex_set_reg(m_cpu, regSP, static_cast<std::uint16_t>(sp + 2));
    z80ex_set_reg(m_cpu, regPC, ret);
    m_now += cost;
    m_inStandIn = true;
    ServiceTicks();
    m_inStandIn = false;
}

void CPc8801Model::RunTrap(std::uint16_t pc) {
    const std::uint8_t a = static_cast<std::uint8_t>(z80ex_get_reg(m_cpu, regAF) >> 8);
    if (!BanksNormal()) {
        Fail("called " + Hex4(pc) + " with port &H31 bit 1 set or a graphic plane mapped");
        m_stop = true;
        return;
    }
    switch (pc) {
    case kRomCmtMotor:
        AdvanceTape();
        m_motor = a != 0;
        m_romCalls.push_back({pc, a, m_now, m_ram[kCellSpeed], m_ram[kCellCmtFlags]});
        Clobber(keepNone, -1, 0, 0);
        ReturnFromTrap(kCostMotor, kStackCassette);
        break;
    case kRomCmtStart: {
        AdvanceTape();
        const std::uint8_t speed = m_ram[kCellSpeed];
        m_inputBaud = speed == 0xFB ? 1200 : speed == 0xFA ? 600 : 0;
        m_input = true;
        m_tapeFifo.clear();
        m_romCalls.push_back({pc, a, m_now, speed, m_ram[kCellCmtFlags]});
        Clobber(keepNone, -1, 0, 0);
        ReturnFromTrap(kCostCmtStart, kStackCassette);
        break;
    }
    case kRomCmtStop:
        AdvanceTape();
        m_input = false;
        m_tapeFifo.clear();
        m_romCalls.push_back({pc, a, m_now, m_ram[kCellSpeed], m_ram[kCellCmtFlags]});
        Clobber(keepNone, -1, 0, 0);
        ReturnFromTrap(kCostCmtStop, kStackCassette);
        break;
    case kRomPoll:
        AdvanceTape();
        if (a == 1) {
            if (!m_tapeFifo.empty()) {
                const TapeItem item = m_tapeFifo.front();
                m_tapeFifo.pop_front();
                ++m_tapeTaken;
                m_lastTapeByteTime = m_now;
                if (item.error)
                    m_ram[kCellRxError] = 0x01;
                Clobber(keepNone, item.byte, kFlagZ, 0);
            } else {
                Clobber(keepNone, -1, kFlagZ, kFlagZ);
            }
        } else if (a == 0) {
            auto key = std::find_if(m_keys.begin(), m_keys.end(), [this](const Key& k) {
                return m_now >= k.time && m_tapeTaken >= k.afterTaken;
            });
            if (key != m_keys.end()) {
                const std::uint8_t code = key->key;
                m_keys.erase(key);
                Clobber(keepNone, code, kFlagZ, 0);
            } else {
                Clobber(keepNone, -1, kFlagZ, kFlagZ);
            }
        } else {
            Fail("called &H45F8 with A = " + Hex2(a));
            Clobber(keepNone, -1, kFlagZ, kFlagZ);
        }
        ReturnFromTrap(kCostPoll, kStackPoll);
        break;
    case kRomPutChar:
        m_screen += static_cast<char>(a);
        Clobber(keepHL, -1, 0, 0);
        ReturnFromTrap(a == 0x0A ? m_lineFeedCost : m_putCharCost, kStackPutChar);
        break;
    case kRomRsPut:
        m_rs232 += static_cast<char>(a);
        Clobber(keepBC | keepDE, -1, 0, 0);
        ReturnFromTrap(kBitsPerRs232Char * kClockHz / static_cast<std::uint64_t>(m_rs232Baud),
                       kStackRsPut);
        break;
    case kRomCpHlDe: {
        const bool below = z80ex_get_reg(m_cpu, regHL) < z80ex_get_reg(m_cpu, regDE);
        Clobber(keepNone, -1, kFlagC, below ? kFlagC : 0);
        ReturnFromTrap(kCostCpHlDe, kStackCpHlDe);
        break;
    }
    case kBasicVrtcHandler:
        // BASIC's own per-frame work: keeps every register, ends with EI; RET.
        ++m_basicHandlerRuns;
        z80ex_set_reg(m_cpu, regIFF1, 1);
        z80ex_set_reg(m_cpu, regIFF2, 1);
        ReturnFromTrap(kCostVrtcHandler, kStackVrtcHandler);
        break;
    default:
        break;
    }
}

CallResult CPc8801Model::Call(std::uint16_t entry, std::uint16_t arg, std::uint8_t type,
                              double maxSeconds) {
    SetRamWord(kArgAddress, arg);
    SetRamWord(kBasicSp - 2, kUsrReturn);
    z80ex_set_reg(m_cpu, regPC, entry);
    z80ex_set_reg(m_cpu, regSP, kBasicSp - 2);
    Clobber(keepNone, type, 0, 0);
    z80ex_set_reg(m_cpu, regHL, kArgAddress);
    z80ex_set_reg(m_cpu, regIM, 2);
    z80ex_set_reg(m_cpu, regI, 0xF3);
    z80ex_set_reg(m_cpu, regIFF1, 1);
    z80ex_set_reg(m_cpu, regIFF2, 1);

    const std::uint8_t port31 = m_port31, port40 = m_port40;
    const std::uint8_t cell31 = m_ram[kCellPort31], cell40 = m_ram[kCellPort40];
    const std::uint16_t vector = RamWord(kCellVrtcVector);
    const std::uint8_t flags = m_ram[kCellCmtFlags], speed = m_ram[kCellSpeed];
    const std::uint64_t start = m_now, startTicks = m_tickCount;
    const std::size_t overruns = m_tapeOverruns;

    m_failures.clear();
    m_inCall = true;
    m_stop = false;
    m_minOwnSp = 0xFFFF;
    m_acceptedInts = 0;
    m_basicHandlerRuns = 0;
    m_badWrites = 0;

    const std::uint64_t limit = start + Seconds(maxSeconds);
    bool returned = false;
    while (!m_stop) {
        if (z80ex_last_op_type(m_cpu) == 0 && z80ex_get_reg(m_cpu, regPC) == kUsrReturn) {
            returned = true;
            break;
        }
        Step();
        if (m_now > limit) {
            Fail("no return within " + std::to_string(maxSeconds) + " s");
            break;
        }
    }
    m_inCall = false;

    CallResult result;
    result.value = RamWord(kArgAddress);
    result.tstates = m_now - start;
    result.ticks = static_cast<unsigned>(m_tickCount - startTicks);
    if (returned) {
        if (z80ex_get_reg(m_cpu, regSP) != kBasicSp)
            Fail("SP came back as " + Hex4(z80ex_get_reg(m_cpu, regSP)) + ", not " +
                 Hex4(kBasicSp));
        if (z80ex_get_reg(m_cpu, regIFF1) == 0)
            Fail("returned with interrupts off");
        if (m_port31 != port31 || m_ram[kCellPort31] != cell31)
            Fail("port &H31 or its cell changed");
        if (m_plane >= 0)
            Fail("returned with a graphic plane mapped");
        if (RamWord(kCellVrtcVector) != vector)
            Fail("the vector at &HF302 changed");
        if (m_ram[kCellCmtFlags] != flags)
            Fail("&HEF7F changed");
        if (m_ram[kCellSpeed] != speed)
            Fail("&HF009 changed");
        if (m_port40 != port40 || m_ram[kCellPort40] != cell40)
            Fail("the beeper (port &H40 or &HE6C1) changed");
        if (m_acceptedInts != m_basicHandlerRuns)
            Fail("not every tick reached BASIC's handler (" + std::to_string(m_acceptedInts) +
                 " ticks, " + std::to_string(m_basicHandlerRuns) + " handler runs)");
    }
    if (m_minOwnSp < m_layout.routineEnd)
        Fail("the stack reached " + Hex4(m_minOwnSp) + ", into the routine's texts");
    if (m_tapeOverruns != overruns)
        Fail(std::to_string(m_tapeOverruns - overruns) +
             " cassette bytes were lost: not taken in time");
    result.failures = m_failures;
    return result;
}

} // namespace pc88
