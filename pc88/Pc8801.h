// SPDX-License-Identifier: GPL-3.0-or-later
// A model of the NEC PC-8801 under N88-BASIC, as far as Grebe's routine
// meets it, on the Z80 core of libz80ex.
//
// Memory: 64 KB main RAM; the ROM is read at &H0000-&H7FFF unless port &H31
// bit 1 is set (writes there always reach the RAM); graphic planes 0-2 at
// &HC000-&HFFFF after a write to port &H5C-&H5E, main RAM again after &H5F.
// Interrupts: mode 2, I = &HF3, the vertical-retrace vector at &HF302, one
// request every 1/60 s of a 4 MHz clock; BASIC's handler is a stand-in.
//
// The ROM entries the routine calls are traps: when the CPU is
// about to run one, the model does what the table says, changes every
// register, flag and alternate register the table does not promise to keep
// to random values, writes random bytes below SP as a ROM routine's own
// pushes would, takes time, and returns to the caller.
//
// After every Call the model checks what the routine must leave as it was
// (see CallResult::failures).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <string>
#include <vector>

struct _z80_cpu_context;

namespace pc88 {

// ROM entry points the routine calls.
inline constexpr std::uint16_t kRomCmtMotor = 0x7F35;
inline constexpr std::uint16_t kRomCmtStart = 0x7ED0;
inline constexpr std::uint16_t kRomCmtStop = 0x7F15;
inline constexpr std::uint16_t kRomPoll = 0x45F8;
inline constexpr std::uint16_t kRomPutChar = 0x3E0D;
inline constexpr std::uint16_t kRomRsPut = 0x3226;
inline constexpr std::uint16_t kRomCpHlDe = 0x0020;
// Addresses of the model's own: BASIC's vertical-retrace handler and the
// place in BASIC that a USR call returns to.
inline constexpr std::uint16_t kBasicVrtcHandler = 0x2B40;
inline constexpr std::uint16_t kUsrReturn = 0x1A60;

// Work-area cells the routine uses.
inline constexpr std::uint16_t kCellVrtcVector = 0xF302;
inline constexpr std::uint16_t kCellPort40 = 0xE6C1;
inline constexpr std::uint16_t kCellPort31 = 0xE6C2;
inline constexpr std::uint16_t kCellRxError = 0xE6BF;
inline constexpr std::uint16_t kCellCmtFlags = 0xEF7F;
inline constexpr std::uint16_t kCellSpeed = 0xF009;

// Where the model's BASIC keeps its stack and the USR argument.
inline constexpr std::uint16_t kBasicSp = 0xAF80;
inline constexpr std::uint16_t kArgAddress = 0x8A40;

inline constexpr std::uint64_t kClockHz = 4'000'000;
inline constexpr double kTicksPerSecond = 60.0;

// USR argument type codes of N88-BASIC.
inline constexpr std::uint8_t kTypeInteger = 2;
inline constexpr std::uint8_t kTypeString = 3;
inline constexpr std::uint8_t kTypeSingle = 4;
inline constexpr std::uint8_t kTypeDouble = 8;

struct RomCall {
    std::uint16_t address;
    std::uint8_t a;           // A on entry
    std::uint64_t time;       // model clock in T-states
    std::uint8_t speedCell;   // &HF009 at the call
    std::uint8_t cmtFlagCell; // &HEF7F at the call
};

struct CallResult {
    std::uint16_t value = 0;           // the word at the argument after the call
    std::vector<std::string> failures; // after-call checks that did not hold
    std::uint64_t tstates = 0;         // length of the call
    unsigned ticks = 0;                // interrupt requests during the call
};

class CPc8801Model {
  public:
    struct Layout {
        std::uint16_t origin;     // first byte of the routine (&HB000)
        std::uint16_t codeEnd;    // first byte after its code: the CPU may run only below it
        std::uint16_t routineEnd; // first byte after its texts: the stack must stay above
    };

    explicit CPc8801Model(Layout layout, std::uint32_t seed = 8801);
    ~CPc8801Model();
    CPc8801Model(const CPc8801Model&) = delete;
    CPc8801Model& operator=(const CPc8801Model&) = delete;

    void LoadRoutine(std::span<const std::uint8_t> bytes);

    // Calls a USR entry as N88-BASIC does: A = type, HL = address of the
    // argument (whose first two bytes are arg), interrupts on, BASIC's SP.
    // Runs until the routine returns or maxSeconds of model time pass.
    CallResult Call(std::uint16_t entry, std::uint16_t arg, std::uint8_t type = kTypeInteger,
                    double maxSeconds = 120.0);

    // The virtual cassette. Bytes are placed one after another on the tape,
    // 11 bits each at their speed; the tape moves only while the motor is on.
    void TapeGap(double seconds);
    void TapeByte(std::uint8_t byte, int baud = 1200, bool receiveError = false);
    void TapeBytes(std::span<const std::uint8_t> bytes, int baud = 1200);
    std::size_t TapeTaken() const { return m_tapeTaken; }       // bytes handed to the routine
    std::size_t TapeOverruns() const { return m_tapeOverruns; } // bytes lost: not polled in time
    std::size_t TapeUnheard() const {
        return m_tapeUnheard;
    } // passed with input off or at another speed
    std::uint64_t LastTapeByteTime() const { return m_lastTapeByteTime; }
    // Bytes that may wait in the ROM's cassette input before an overrun.
    void SetTapeBufferDepth(std::size_t depth) { m_tapeDepth = depth; }

    // The scripted keyboard: a key is there from a moment on, or once the
    // routine has taken n tape bytes; each key is read once.
    void KeyAtSeconds(double secondsFromNow, std::uint8_t key);
    void KeyAfterTapeBytes(std::size_t n, std::uint8_t key);

    const std::string& Screen() const { return m_screen; }
    const std::string& Rs232() const { return m_rs232; }
    void ClearLogs();
    // Port &H40 bit 5 at each tick, from the model's start.
    const std::vector<bool>& BeeperTicks() const { return m_beeperTicks; }
    const std::vector<RomCall>& RomCalls() const { return m_romCalls; }
    std::uint64_t Now() const { return m_now; }
    std::uint64_t TickCount() const { return m_tickCount; }
    void SetRs232Baud(int baud) { m_rs232Baud = baud; }
    // T-states &H3E0D takes for a character, and for a line feed (a scroll).
    void SetPutCharCost(std::uint64_t character, std::uint64_t lineFeed) {
        m_putCharCost = character;
        m_lineFeedCost = lineFeed;
    }

    // Main RAM as the CPU sees it with the ROM and the planes mapped out.
    std::uint8_t Ram(std::uint16_t address) const { return m_ram[address]; }
    void SetRam(std::uint16_t address, std::uint8_t value) { m_ram[address] = value; }
    std::uint16_t RamWord(std::uint16_t address) const;
    void SetRamWord(std::uint16_t address, std::uint16_t value);
    // The buffer place of a buffer offset (the buffer's bank table).
    std::uint8_t BufferByte(std::uint16_t offset) const;
    void SetBufferByte(std::uint16_t offset, std::uint8_t value);

    std::uint8_t Port31() const { return m_port31; }
    std::uint8_t Port40() const { return m_port40; }

  private:
    static std::uint8_t ReadMem(_z80_cpu_context*, std::uint16_t, int, void*);
    static void WriteMem(_z80_cpu_context*, std::uint16_t, std::uint8_t, void*);
    static std::uint8_t ReadPort(_z80_cpu_context*, std::uint16_t, void*);
    static void WritePort(_z80_cpu_context*, std::uint16_t, std::uint8_t, void*);
    static std::uint8_t IntVector(_z80_cpu_context*, void*);

    std::uint8_t CpuRead(std::uint16_t address) const;
    void CpuWrite(std::uint16_t address, std::uint8_t value);
    bool WriteAllowed(std::uint16_t address) const;
    bool BanksNormal() const { return (m_port31 & 0x02) == 0 && m_plane < 0; }

    void Fail(const std::string& what);
    void Step();
    void ServiceTicks();
    void RunTrap(std::uint16_t pc);
    void ReturnFromTrap(std::uint64_t cost, unsigned stackUse);
    enum Keep : unsigned { keepNone = 0, keepBC = 1, keepDE = 2, keepHL = 4, keepAll = 8 };
    void Clobber(unsigned keep, int a, std::uint8_t flagsMask, std::uint8_t flagsValue);
    void AdvanceTape();
    std::uint16_t Random16() { return static_cast<std::uint16_t>(m_random()); }

    struct TapeItem {
        std::uint64_t at; // tape time at which the byte's last bit has passed
        std::uint8_t byte;
        int baud;
        bool error;
    };
    struct Key {
        std::uint64_t time;
        std::size_t afterTaken;
        std::uint8_t key;
    };

    Layout m_layout;
    _z80_cpu_context* m_cpu = nullptr;
    std::mt19937 m_random;

    std::array<std::uint8_t, 0x10000> m_ram{};
    std::array<std::uint8_t, 0x8000> m_rom{};
    std::array<std::array<std::uint8_t, 0x4000>, 3> m_planes{};
    std::uint8_t m_port31 = 0x19;
    std::uint8_t m_port40 = 0x09;
    int m_plane = -1;

    std::uint64_t m_now = 0;
    std::uint64_t m_tickCount = 0;
    bool m_intPending = false;
    bool m_inStandIn = false;

    // per call
    bool m_inCall = false;
    bool m_stop = false;
    std::vector<std::string> m_failures;
    std::uint16_t m_minOwnSp = 0xFFFF;
    unsigned m_acceptedInts = 0;
    unsigned m_basicHandlerRuns = 0;
    std::size_t m_badWrites = 0;

    // cassette
    std::vector<TapeItem> m_tape;
    std::uint64_t m_tapeEnd = 0;
    std::size_t m_tapeNext = 0;
    std::uint64_t m_tapePos = 0;
    std::uint64_t m_tapeUpdated = 0;
    bool m_motor = false;
    bool m_input = false;
    int m_inputBaud = 0;
    std::deque<TapeItem> m_tapeFifo;
    std::size_t m_tapeDepth = 1;
    std::size_t m_tapeTaken = 0;
    std::size_t m_tapeOverruns = 0;
    std::size_t m_tapeUnheard = 0;
    std::uint64_t m_lastTapeByteTime = 0;

    std::vector<Key> m_keys;
    std::string m_screen;
    std::string m_rs232;
    int m_rs232Baud = 9600;
    std::uint64_t m_putCharCost = 1'200;
    std::uint64_t m_lineFeedCost = 1'200;
    std::vector<bool> m_beeperTicks;
    std::vector<RomCall> m_romCalls;
};

} // namespace pc88
