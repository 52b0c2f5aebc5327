// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc88/Pc8801.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <z80ex/z80ex.h>

namespace pc88 {

namespace {

// Machine time of the n-th tick (1/60 s of the 4 MHz clock).
std::uint64_t TickTime(std::uint64_t n) {
    return n * kClockHz / kFramesPerSecond;
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
constexpr std::size_t kMaxFailures = 24;

constexpr std::uint8_t kFlagZ = 0x40;
constexpr std::uint8_t kFlagC = 0x01;

// Port &H30: the USART's channel in bits 5-4 (00 cassette at 600 baud, 01
// cassette at 1200 baud, 10 RS-232C) and the cassette motor in bit 3.
constexpr std::uint8_t kPort30Channel = 0x30;
constexpr std::uint8_t kPort30Cmt600 = 0x00;
constexpr std::uint8_t kPort30Cmt1200 = 0x10;
constexpr std::uint8_t kPort30Rs232 = 0x20;
constexpr std::uint8_t kPort30Motor = 0x08;
constexpr std::uint8_t kPort40Beeper = 0x20;

// The speed bytes of &HF009.
constexpr std::uint8_t kSpeed1200 = 0xFB;
constexpr std::uint8_t kSpeed600 = 0xFA;

// Characters the line keeps for the cable before the machine waits.
constexpr std::size_t kLineBacklog = 256;
// The receive buffer of N88-BASIC's RS-232C input: what the far end sends
// beyond it waits in the cable (the pseudo-terminal pushes back), or is lost
// as an overrun while the line is held and only XON can free it.
constexpr std::size_t kLineInputBuffer = 256;

} // namespace

CPc8801::CPc8801(Layout layout, std::uint32_t seed) : m_layout(layout), m_random(seed) {
    for (auto& b : m_ram)
        b = static_cast<std::uint8_t>(m_random());
    for (auto& b : m_rom)
        b = static_cast<std::uint8_t>(m_random());
    for (auto& plane : m_planes)
        for (auto& b : plane)
            b = static_cast<std::uint8_t>(m_random());
    Init();
}

CPc8801::CPc8801() {
    m_rom.fill(0xFF);
    Init();
}

void CPc8801::Init() {
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

CPc8801::~CPc8801() {
    z80ex_destroy(m_cpu);
}

void CPc8801::LoadRoutine(std::uint16_t origin, std::span<const std::uint8_t> bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        m_ram[static_cast<std::uint16_t>(origin + i)] = bytes[i];
}

std::uint16_t CPc8801::RamWord(std::uint16_t address) const {
    return static_cast<std::uint16_t>(m_ram[address] |
                                      (m_ram[static_cast<std::uint16_t>(address + 1)] << 8));
}

void CPc8801::SetRamWord(std::uint16_t address, std::uint16_t value) {
    m_ram[address] = static_cast<std::uint8_t>(value);
    m_ram[static_cast<std::uint16_t>(address + 1)] = static_cast<std::uint8_t>(value >> 8);
}

std::uint8_t CPc8801::BufferByte(std::uint16_t offset) const {
    const unsigned bank = offset >> 14;
    if (bank == 0)
        return m_ram[0x4000 + offset];
    return m_planes[bank - 1][offset & 0x3FFF];
}

void CPc8801::SetBufferByte(std::uint16_t offset, std::uint8_t value) {
    const unsigned bank = offset >> 14;
    if (bank == 0)
        m_ram[0x4000 + offset] = value;
    else
        m_planes[bank - 1][offset & 0x3FFF] = value;
}

std::string CPc8801::Screen() const {
    const std::string& printed = m_text.Printed();
    const std::uint64_t from = std::max(m_nScreenMark, m_text.PrintedBase()) - m_text.PrintedBase();
    return printed.substr(static_cast<std::size_t>(from));
}

void CPc8801::ClearLogs() {
    m_nScreenMark = m_text.PrintedCount();
    m_rs232.clear();
    m_romCalls.clear();
}

// ---- the cassette and the keyboard ------------------------------------------

void CPc8801::TapeGap(double seconds) {
    m_deck.AppendGap(Seconds(seconds));
}

void CPc8801::TapeByte(std::uint8_t byte, int baud, bool receiveError) {
    m_deck.AppendBytes(std::span(&byte, 1), baud, receiveError);
}

void CPc8801::TapeBytes(std::span<const std::uint8_t> bytes, int baud) {
    m_deck.AppendBytes(bytes, baud);
}

void CPc8801::KeyAtSeconds(double secondsFromNow, std::uint8_t key) {
    m_keys.push_back({m_now + Seconds(secondsFromNow), 0, key});
}

void CPc8801::KeyAfterTapeBytes(std::size_t n, std::uint8_t key) {
    m_keys.push_back({0, n, key});
}

std::optional<std::uint8_t> CPc8801::NextKey() {
    auto key = std::find_if(m_keys.begin(), m_keys.end(), [this](const Key& k) {
        return m_now >= k.time && m_tapeTaken >= k.afterTaken;
    });
    if (key != m_keys.end()) {
        const std::uint8_t code = key->key;
        m_keys.erase(key);
        return code;
    }
    if (m_pKeys != nullptr)
        return m_pKeys->TakeKey(m_text);
    return std::nullopt;
}

std::uint8_t CPc8801::WaitKey() {
    for (;;) {
        if (const auto key = NextKey())
            return *key;
        if (m_keys.empty() && (m_pKeys == nullptr || m_pKeys->Exhausted()))
            throw CHostStop("no more keys will be typed");
        WaitOutside(CPc8801Outside::waitKey);
    }
}

// Moves the tape to the present; bytes whose last bit has passed the head
// reach the ROM's cassette input when it is on and set to their speed.
void CPc8801::AdvanceTape() {
    m_deck.Advance(m_now, [this](const CCassetteDeck::CPassedByte& item) {
        if (!m_input || item.nBaud != m_inputBaud)
            ++m_tapeUnheard;
        else if (m_tapeFifo.size() >= m_tapeDepth) {
            ++m_tapeOverruns; // the USART's overrun error: the ROM reports it as a receive error
            m_ram[kCellRxError] = 0x01;
        } else
            m_tapeFifo.push_back({item.byte, item.nBaud, item.bError});
    });
}

// ---- the RS-232C line ---------------------------------------------------------

std::uint64_t CPc8801::CharTime() const {
    return m_nFrameBits * kClockHz / static_cast<std::uint64_t>(m_nLineBaud);
}

// Takes in what the far end sent while a COM file is open (bytes that come
// while none is open wait in the cable), and hands the cable what it will
// take.
void CPc8801::PumpLine() {
    if (m_pOutside == nullptr)
        return;
    if (m_bComOpen) {
        std::uint8_t buffer[kLineInputBuffer];
        for (;;) {
            const std::size_t room = kLineInputBuffer - std::min(m_rx.size(), kLineInputBuffer);
            // A full buffer takes nothing more, unless the line waits for XON.
            if (room == 0 && !m_bHeld)
                break;
            const std::size_t n =
                m_pOutside->LineReceive(std::span(buffer, room == 0 ? std::size_t{1} : room));
            if (n == 0)
                break;
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t c = buffer[i];
                if (m_bXonXoff && c == kXoff)
                    m_bHeld = true;
                else if (m_bXonXoff && c == kXon)
                    m_bHeld = false;
                else if (m_rx.size() < kLineInputBuffer)
                    m_rx.push_back(c);
            }
        }
    }
    if (!m_tx.empty()) {
        const std::size_t n = m_pOutside->LineSend(m_tx);
        m_tx.erase(m_tx.begin(), m_tx.begin() + static_cast<std::ptrdiff_t>(n));
    }
}

// One character onto the line: it waits while the far end holds the line,
// then for the transmitter, and takes its time on the line.
void CPc8801::Transmit(std::uint8_t c) {
    for (;;) {
        PumpLine();
        if (!m_bHeld && m_tx.size() < kLineBacklog)
            break;
        WaitOutside(m_bHeld ? CPc8801Outside::waitLineIn : CPc8801Outside::waitLineOut);
    }
    const std::uint64_t start = std::max(m_now, m_lineFree);
    m_lineFree = start + CharTime();
    AdvanceTime(m_lineFree - m_now);
    if (m_pOutside != nullptr) {
        m_tx.push_back(c);
        PumpLine();
    } else {
        m_rs232 += static_cast<char>(c);
    }
}

void CPc8801::ComOpen(const std::string& frame) {
    // "N71XN": parity, data bits, stop bits, XON/XOFF, shift-in/shift-out.
    unsigned bits = 1;
    bits += frame.size() > 1 && frame[1] == '8' ? 8 : 7;
    bits += frame.empty() || frame[0] == 'N' || frame[0] == 'n' ? 0 : 1;
    bits += frame.size() > 2 && frame[2] == '2' ? 2 : 1;
    m_nFrameBits = bits;
    m_bXonXoff = frame.size() <= 3 || frame[3] == 'X' || frame[3] == 'x';
    m_bComOpen = true;
    m_bHeld = false;
    PumpLine();
}

void CPc8801::ComWrite(std::span<const std::uint8_t> bytes) {
    for (std::uint8_t c : bytes)
        Transmit(c);
}

std::uint8_t CPc8801::ComRead() {
    for (;;) {
        PumpLine();
        if (!m_rx.empty())
            break;
        if (m_pOutside == nullptr)
            throw CHostStop("nothing is connected to the RS-232C line");
        WaitOutside(CPc8801Outside::waitLineIn);
    }
    // A character takes its time on the line.
    m_rxFree = std::max(m_rxFree, m_now) + CharTime();
    AdvanceTime(m_rxFree - m_now);
    const std::uint8_t c = m_rx.front();
    m_rx.pop_front();
    return c;
}

void CPc8801::ComClose() {
    for (;;) {
        PumpLine();
        if (m_tx.empty())
            break;
        WaitOutside(CPc8801Outside::waitLineOut);
    }
    if (m_lineFree > m_now)
        AdvanceTime(m_lineFree - m_now);
    m_bComOpen = false;
}

// ---- memory and ports ---------------------------------------------------------

std::uint8_t CPc8801::CpuRead(std::uint16_t address) const {
    if (address < 0x8000 && (m_port31 & 0x02) == 0)
        return m_rom[address];
    if (address >= 0xC000 && m_plane >= 0)
        return m_planes[static_cast<std::size_t>(m_plane)][address - 0xC000];
    return m_ram[address];
}

bool CPc8801::WriteAllowed(std::uint16_t a) const {
    if (a >= 0xC000 && m_plane >= 0)
        return true; // a graphic plane: buffer banks 1-3
    if (a >= 0x4000 && a < 0x8000)
        return true; // buffer bank 0
    if (a >= m_layout->origin && a < 0xC000)
        return true; // the routine's own area and stack
    if (a >= kBasicSp - 0x100 && a < kBasicSp)
        return true; // free space of BASIC's stack
    if (a == kArgAddress || a == kArgAddress + 1)
        return true; // the USR result
    return a == kCellVrtcVector || a == kCellVrtcVector + 1 || a == kCellPort40 ||
           a == kCellRxError || a == kCellCmtFlags || a == kCellSpeed;
}

void CPc8801::CpuWrite(std::uint16_t address, std::uint8_t value) {
    if (m_inCall && Checked() && !WriteAllowed(address)) {
        if (++m_badWrites <= 4)
            Fail("wrote " + Hex2(value) + " to " + Hex4(address) + ", outside its places");
    }
    if (address >= 0xC000 && m_plane >= 0)
        m_planes[static_cast<std::size_t>(m_plane)][address - 0xC000] = value;
    else
        m_ram[address] = value;
}

std::uint8_t CPc8801::ReadMem(_z80_cpu_context*, std::uint16_t address, int, void* self) {
    return static_cast<CPc8801*>(self)->CpuRead(address);
}

void CPc8801::WriteMem(_z80_cpu_context*, std::uint16_t address, std::uint8_t value, void* self) {
    static_cast<CPc8801*>(self)->CpuWrite(address, value);
}

std::uint8_t CPc8801::ReadPort(_z80_cpu_context*, std::uint16_t port, void* self) {
    static_cast<CPc8801*>(self)->Fail("read port " + Hex2(port));
    return 0xFF;
}

void CPc8801::WritePort(_z80_cpu_context*, std::uint16_t port, std::uint8_t value, void* self) {
    auto* machine = static_cast<CPc8801*>(self);
    if ((port & 0xFF) == 0x30) {
        // The ROM drives the cassette through this port; a routine of its
        // own never needs to.
        machine->Fail("wrote port &H30");
        return;
    }
    machine->OutPort(static_cast<std::uint8_t>(port), value);
}

void CPc8801::OutPort(std::uint8_t port, std::uint8_t value) {
    switch (port) {
    case 0x30:
        m_port30 = value;
        m_deck.SetMotor((value & kPort30Motor) != 0, m_now);
        break;
    case 0x31:
        m_port31 = value;
        break;
    case 0x40:
        if ((value & kPort40Beeper) != 0 && (m_port40 & kPort40Beeper) == 0)
            ++m_nBeeps;
        m_port40 = value;
        break;
    case 0x5C:
    case 0x5D:
    case 0x5E:
        m_plane = port - 0x5C;
        break;
    case 0x5F:
        m_plane = -1;
        break;
    default:
        Fail("wrote port " + Hex2(port));
        break;
    }
}

// Mode 2: the vertical-retrace request puts &H02 on the bus; with I = &HF3
// the CPU takes the handler's address from &HF302.
std::uint8_t CPc8801::IntVector(_z80_cpu_context*, void*) {
    return 0x02;
}

// ---- running ----------------------------------------------------------------------

void CPc8801::Fail(const std::string& what) {
    if (m_failures.size() < kMaxFailures)
        m_failures.push_back(what);
}

void CPc8801::AdvanceTime(std::uint64_t tstates) {
    m_now += tstates;
    ServiceTicks();
}

// The machine waits for the world outside; time passes meanwhile.
void CPc8801::WaitOutside(unsigned wait) {
    if (m_pOutside == nullptr)
        throw CHostStop("nothing outside the machine can end the wait");
    AdvanceTime(std::max<std::uint64_t>(m_pOutside->Idle(m_now, wait), 1));
}

void CPc8801::ServiceTicks() {
    while (m_now >= m_nextTick) {
        ++m_tickCount;
        m_nextTick = TickTime(m_tickCount + 1);
        if (m_inCall) {
            // A stand-in that takes longer than a tick stands for ROM code
            // that would have taken the tick itself; only the routine can
            // lose one.
            if (m_intPending && !m_inStandIn)
                Fail("a tick was lost: interrupts stayed off for more than 1/60 s");
            m_intPending = true;
        }
        // Outside a call BASIC takes the request at once.
        if (Checked())
            m_beeperTicks.push_back((m_port40 & kPort40Beeper) != 0);
        if (m_pOutside != nullptr)
            m_pOutside->OnTick(m_now);
    }
    if (m_intPending && m_inCall && !m_inStandIn && z80ex_last_op_type(m_cpu) == 0) {
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

void CPc8801::Step() {
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
        if (Checked() ? (pc < m_layout->origin || pc >= m_layout->codeEnd)
                      : (pc < 0x8000 && (m_port31 & 0x02) == 0)) {
            Fail(Checked() ? "ran outside its code, at " + Hex4(pc)
                           : "ran into the BASIC ROM at " + Hex4(pc) +
                                 ", which this machine does not hold");
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
    if (Checked()) {
        const std::uint16_t sp = z80ex_get_reg(m_cpu, regSP);
        if (sp >= m_layout->origin && sp <= 0xC000)
            m_minOwnSp = std::min(m_minOwnSp, sp);
    }
    if (m_now >= m_nextTick || m_intPending)
        ServiceTicks();
}

void CPc8801::Clobber(unsigned keep, int a, std::uint8_t flagsMask, std::uint8_t flagsValue) {
    if (keep & keepAll)
        return;
    const std::uint16_t af = z80ex_get_reg(m_cpu, regAF);
    if (!Checked()) {
        // The plain mode changes only what the entry gives back.
        const std::uint8_t newA = a >= 0 ? static_cast<std::uint8_t>(a) : af >> 8;
        const std::uint8_t newF =
            static_cast<std::uint8_t>(((af & 0xFF) & ~flagsMask) | (flagsValue & flagsMask));
        z80ex_set_reg(m_cpu, regAF, static_cast<std::uint16_t>((newA << 8) | newF));
        return;
    }
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

void CPc8801::ReturnFromTrap(std::uint64_t cost, unsigned stackUse) {
    const std::uint16_t sp = z80ex_get_reg(m_cpu, regSP);
    if (Checked()) {
        // The ROM routine's own pushes and calls below the caller's SP.
        for (unsigned i = 1; i <= stackUse; ++i)
            m_ram[static_cast<std::uint16_t>(sp - i)] = static_cast<std::uint8_t>(m_random());
        if (sp >= m_layout->origin && sp <= 0xC000)
            m_minOwnSp =
                std::min<std::uint16_t>(m_minOwnSp, static_cast<std::uint16_t>(sp - stackUse));
    }
    const std::uint16_t ret = static_cast<std::uint16_t>(
        CpuRead(sp) | (CpuRead(static_cast<std::uint16_t>(sp + 1)) << 8));
    z80ex_set_reg(m_cpu, regSP, static_cast<std::uint16_t>(sp + 2));
    z80ex_set_reg(m_cpu, regPC, ret);
    AdvanceTime(cost);
}

void CPc8801::RunTrap(std::uint16_t pc) {
    const std::uint8_t a = static_cast<std::uint8_t>(z80ex_get_reg(m_cpu, regAF) >> 8);
    if (!BanksNormal()) {
        Fail("called " + Hex4(pc) + " with port &H31 bit 1 set or a graphic plane mapped");
        m_stop = true;
        return;
    }
    {
        // Ticks that fall inside a stand-in are taken when it has returned.
        struct StandIn {
            bool& flag;
            explicit StandIn(bool& f) : flag(f) { flag = true; }
            ~StandIn() { flag = false; }
        } standIn(m_inStandIn);
        RunStandIn(pc, a);
    }
    if (m_intPending)
        ServiceTicks();
}

void CPc8801::RunStandIn(std::uint16_t pc, std::uint8_t a) {
    switch (pc) {
    case kRomCmtMotor:
        AdvanceTape();
        OutPort(0x30, static_cast<std::uint8_t>((m_port30 & ~kPort30Motor) |
                                                (a != 0 ? kPort30Motor : 0)));
        m_romCalls.push_back({pc, a, m_now, m_ram[kCellSpeed], m_ram[kCellCmtFlags]});
        Clobber(keepNone, -1, 0, 0);
        ReturnFromTrap(kCostMotor, kStackCassette);
        break;
    case kRomCmtStart: {
        AdvanceTape();
        const std::uint8_t speed = m_ram[kCellSpeed];
        m_inputBaud = speed == kSpeed1200 ? 1200 : speed == kSpeed600 ? 600 : 0;
        OutPort(0x30,
                static_cast<std::uint8_t>((m_port30 & ~kPort30Channel) |
                                          (speed == kSpeed1200 ? kPort30Cmt1200 : kPort30Cmt600)));
        m_input = true;
        m_tapeFifo.clear();
        m_romCalls.push_back({pc, a, m_now, speed, m_ram[kCellCmtFlags]});
        Clobber(keepNone, -1, 0, 0);
        ReturnFromTrap(kCostCmtStart, kStackCassette);
        break;
    }
    case kRomCmtStop:
        AdvanceTape();
        OutPort(0x30, static_cast<std::uint8_t>((m_port30 & ~kPort30Channel) | kPort30Rs232));
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
            if (const auto key = NextKey())
                Clobber(keepNone, *key, kFlagZ, 0);
            else
                Clobber(keepNone, -1, kFlagZ, kFlagZ);
        } else {
            Fail("called &H45F8 with A = " + Hex2(a));
            Clobber(keepNone, -1, kFlagZ, kFlagZ);
        }
        ReturnFromTrap(kCostPoll, kStackPoll);
        break;
    case kRomPutChar:
        m_text.Put(a);
        Clobber(keepHL, -1, 0, 0);
        ReturnFromTrap(a == 0x0A ? m_lineFeedCost : m_putCharCost, kStackPutChar);
        break;
    case kRomRsPut:
        Transmit(a);
        Clobber(keepBC | keepDE, -1, 0, 0);
        ReturnFromTrap(0, kStackRsPut);
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

CallResult CPc8801::Call(std::uint16_t entry, std::uint16_t arg, std::uint8_t type,
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
    m_stop = false;
    m_minOwnSp = 0xFFFF;
    m_acceptedInts = 0;
    m_basicHandlerRuns = 0;
    m_badWrites = 0;
    m_intPending = false;

    // The call may end by CHostStop from the world outside.
    struct InCall {
        bool& flag;
        explicit InCall(bool& f) : flag(f) { flag = true; }
        ~InCall() { flag = false; }
    };
    bool returned = false;
    {
        InCall inCall(m_inCall);
        const std::uint64_t limit =
            maxSeconds > 0 ? start + Seconds(maxSeconds) : ~std::uint64_t{0};
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
    }
    m_intPending = false;

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
    if (Checked() && m_minOwnSp < m_layout->routineEnd)
        Fail("the stack reached " + Hex4(m_minOwnSp) + ", into the routine's texts");
    if (m_tapeOverruns != overruns)
        Fail(std::to_string(m_tapeOverruns - overruns) +
             " cassette bytes were lost: not taken in time");
    result.failures = m_failures;
    return result;
}

std::int16_t CPc8801::CallUsr(std::uint16_t entry, std::int16_t argument) {
    const CallResult r = Call(entry, static_cast<std::uint16_t>(argument), kTypeInteger, 0);
    if (!r.failures.empty()) {
        std::string text = "the machine code at " + Hex4(entry) + " failed: ";
        for (std::size_t i = 0; i < r.failures.size(); ++i)
            text += (i > 0 ? "; " : "") + r.failures[i];
        throw std::runtime_error(text);
    }
    return static_cast<std::int16_t>(r.value);
}

} // namespace pc88
