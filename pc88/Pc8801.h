// SPDX-License-Identifier: GPL-3.0-or-later
// The virtual NEC PC-8801 under N88-BASIC, as far as Grebe and its routine
// meet it, on the Z80 core of libz80ex.
//
// Memory: 64 KB main RAM; the ROM is read at &H0000-&H7FFF unless port &H31
// bit 1 is set (writes there always reach the RAM); graphic planes 0-2 at
// &HC000-&HFFFF after a write to port &H5C-&H5E, main RAM again after &H5F.
// Interrupts: mode 2, I = &HF3, the vertical-retrace vector at &HF302, one
// request every 1/60 s of a 4 MHz clock; BASIC's handler is a stand-in.
//
// The machine holds no ROM code. The ROM entries the routine calls are
// stand-ins: when the CPU is about to run one, the machine does what the
// entry is relied on for, takes time and returns to the caller. In the
// checked mode of the tests a stand-in also changes every register, flag and
// alternate register it does not promise to keep to random values and writes
// random bytes below SP as a ROM routine's own pushes would, memory starts
// random, and writes outside the routine's places are reported. The plain
// mode of the product keeps registers and memory as they are.
//
// After every call the machine checks what a routine must leave as it was
// (see CallResult::failures); CallUsr turns a failed check into an error.
//
// Around the CPU: the text screen the print entry writes into, the keyboard
// (keys the tests schedule, then a key source), the beeper (port &H40 bit
// 5), the cassette deck (motor by port &H30 bit 3, bytes through the ROM's
// cassette input at the speed in &HF009), and the RS-232C line, whose output
// stops on DC3 and goes on on DC1 from the far end when the COM file was
// opened with XON/XOFF, and takes each character's time on the line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "pc88/BasicHost.h"
#include "pc88/CassetteDeck.h"
#include "pc88/TextScreen.h"

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
// Addresses of the machine's own: BASIC's vertical-retrace handler and the
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

// Where the machine's BASIC keeps its stack and the USR argument.
inline constexpr std::uint16_t kBasicSp = 0xAF80;
inline constexpr std::uint16_t kArgAddress = 0x8A40;

inline constexpr std::uint64_t kClockHz = CCassetteDeck::kClockHz;
inline constexpr std::uint64_t kFramesPerSecond = 60;

// USR argument type codes of N88-BASIC.
inline constexpr std::uint8_t kTypeInteger = 2;
inline constexpr std::uint8_t kTypeString = 3;
inline constexpr std::uint8_t kTypeSingle = 4;
inline constexpr std::uint8_t kTypeDouble = 8;

// The flow-control characters of XON/XOFF.
inline constexpr std::uint8_t kXon = 0x11;  // DC1
inline constexpr std::uint8_t kXoff = 0x13; // DC3

struct RomCall {
    std::uint16_t address;
    std::uint8_t a;           // A on entry
    std::uint64_t time;       // machine clock in T-states
    std::uint8_t speedCell;   // &HF009 at the call
    std::uint8_t cmtFlagCell; // &HEF7F at the call
};

struct CallResult {
    std::uint16_t value = 0;           // the word at the argument after the call
    std::vector<std::string> failures; // after-call checks that did not hold
    std::uint64_t tstates = 0;         // length of the call
    unsigned ticks = 0;                // interrupt requests during the call
};

// Where keys come from when the program reads the keyboard.
class CKeySource {
  public:
    virtual ~CKeySource() = default;
    // A key for the program, or none yet. Called every time the program
    // looks at the keyboard, with what the screen has shown so far.
    virtual std::optional<std::uint8_t> TakeKey(const CTextScreen& screen) = 0;
    // No key will come any more: a program that waits for one waits for ever.
    virtual bool Exhausted() const = 0;
};

// The world outside the machine: the far end of the RS-232C cable and the
// clock on the wall.
class CPc8801Outside {
  public:
    virtual ~CPc8801Outside() = default;
    // Called on every tick of machine time: the place to keep machine time
    // in step with the wall clock and to take in what arrived. May throw
    // CHostStop.
    virtual void OnTick(std::uint64_t now) = 0;
    // What the machine waits for when it idles.
    enum Wait : unsigned {
        waitKey = 1,     // a key
        waitLineIn = 2,  // a byte from the far end (data, or XON)
        waitLineOut = 4, // room in the cable for the bytes it holds
    };
    // The machine can go on only when something comes from outside: wait
    // for a short while, at most a tick, and return how many T-states
    // passed. May throw CHostStop.
    virtual std::uint64_t Idle(std::uint64_t now, unsigned wait) = 0;
    // The line: bytes that arrived from the far end, without waiting
    // (returns how many were put into buffer); bytes towards the far end,
    // without waiting (returns how many the cable took).
    virtual std::size_t LineReceive(std::span<std::uint8_t> buffer) = 0;
    virtual std::size_t LineSend(std::span<const std::uint8_t> bytes) = 0;
};

class CPc8801 final : public CBasicHost {
  public:
    // Where a routine may run and write, for the checked mode.
    struct Layout {
        std::uint16_t origin;     // first byte of the routine (&HB000)
        std::uint16_t codeEnd;    // first byte after its code: the CPU may run only below it
        std::uint16_t routineEnd; // first byte after its texts: the stack must stay above
    };

    // The checked mode of the tests, for a routine laid out as given.
    explicit CPc8801(Layout layout, std::uint32_t seed = 8801);
    // The plain mode: memory cleared, stand-ins that keep what they do not
    // change, code allowed anywhere in RAM.
    CPc8801();
    ~CPc8801() override;
    CPc8801(const CPc8801&) = delete;
    CPc8801& operator=(const CPc8801&) = delete;

    void LoadRoutine(std::uint16_t origin, std::span<const std::uint8_t> bytes);
    void LoadRoutine(std::span<const std::uint8_t> bytes) { LoadRoutine(m_layout->origin, bytes); }

    // Calls a USR entry as N88-BASIC does: A = type, HL = address of the
    // argument (whose first two bytes are arg), interrupts on, BASIC's SP.
    // Runs until the routine returns or maxSeconds of machine time pass
    // (0: no limit).
    CallResult Call(std::uint16_t entry, std::uint16_t arg, std::uint8_t type = kTypeInteger,
                    double maxSeconds = 120.0);

    // ---- attached devices ----
    void SetOutside(CPc8801Outside* pOutside) { m_pOutside = pOutside; }
    void SetKeySource(CKeySource* pKeys) { m_pKeys = pKeys; }
    CCassetteDeck& Deck() { return m_deck; }
    const CTextScreen& Text() const { return m_text; }
    // Beeps sounded: BEEP statements and each time port &H40 bit 5 came on.
    std::uint64_t Beeps() const { return m_nBeeps; }
    // The line speed, 1200 to 19200 baud.
    void SetRs232Baud(int baud) { m_nLineBaud = baud; }
    bool LineHeld() const { return m_bHeld; }

    // ---- CBasicHost ----
    std::uint8_t Peek(std::uint16_t address) override { return m_ram[address]; }
    void Poke(std::uint16_t address, std::uint8_t value) override { m_ram[address] = value; }
    std::int16_t CallUsr(std::uint16_t entry, std::int16_t argument) override;
    void PutChar(std::uint8_t c) override { m_text.Put(c); }
    std::uint8_t WaitKey() override;
    std::optional<std::uint8_t> PollKey() override { return NextKey(); }
    void ComOpen(const std::string& frame) override;
    void ComWrite(std::span<const std::uint8_t> bytes) override;
    std::uint8_t ComRead() override;
    void ComClose() override;
    void Beep() override { ++m_nBeeps; }
    void Elapse(std::uint64_t tstates) override { AdvanceTime(tstates); }

    // ---- the tests' cassette and keyboard ----
    // Bytes are placed one after another on the tape, 11 bits each at
    // their speed; the tape moves only while the motor is on.
    void TapeGap(double seconds);
    void TapeByte(std::uint8_t byte, int baud = 1200, bool receiveError = false);
    void TapeBytes(std::span<const std::uint8_t> bytes, int baud = 1200);
    std::size_t TapeTaken() const { return m_tapeTaken; }       // bytes handed to the routine
    std::size_t TapeOverruns() const { return m_tapeOverruns; } // bytes lost: not polled in time
    // Bytes that passed with the input off or at another speed.
    std::size_t TapeUnheard() const { return m_tapeUnheard; }
    std::uint64_t LastTapeByteTime() const { return m_lastTapeByteTime; }
    // Bytes that may wait in the ROM's cassette input before an overrun.
    void SetTapeBufferDepth(std::size_t depth) { m_tapeDepth = depth; }

    // A key is there from a moment on, or once the routine has taken n tape
    // bytes; each key is read once. These come before the key source's.
    void KeyAtSeconds(double secondsFromNow, std::uint8_t key);
    void KeyAfterTapeBytes(std::size_t n, std::uint8_t key);

    // What was printed, and what was sent on the line with nothing outside,
    // since the last ClearLogs.
    std::string Screen() const;
    const std::string& Rs232() const { return m_rs232; }
    void ClearLogs();
    // Port &H40 bit 5 at each tick, from the start (checked mode only).
    const std::vector<bool>& BeeperTicks() const { return m_beeperTicks; }
    const std::vector<RomCall>& RomCalls() const { return m_romCalls; }
    std::uint64_t Now() const { return m_now; }
    std::uint64_t TickCount() const { return m_tickCount; }
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
    // The buffer place of a buffer offset (the routine's bank table).
    std::uint8_t BufferByte(std::uint16_t offset) const;
    void SetBufferByte(std::uint16_t offset, std::uint8_t value);

    std::uint8_t Port30() const { return m_port30; }
    std::uint8_t Port31() const { return m_port31; }
    std::uint8_t Port40() const { return m_port40; }

  private:
    static std::uint8_t ReadMem(_z80_cpu_context*, std::uint16_t, int, void*);
    static void WriteMem(_z80_cpu_context*, std::uint16_t, std::uint8_t, void*);
    static std::uint8_t ReadPort(_z80_cpu_context*, std::uint16_t, void*);
    static void WritePort(_z80_cpu_context*, std::uint16_t, std::uint8_t, void*);
    static std::uint8_t IntVector(_z80_cpu_context*, void*);

    void Init();
    std::uint8_t CpuRead(std::uint16_t address) const;
    void CpuWrite(std::uint16_t address, std::uint8_t value);
    void OutPort(std::uint8_t port, std::uint8_t value);
    bool WriteAllowed(std::uint16_t address) const;
    bool BanksNormal() const { return (m_port31 & 0x02) == 0 && m_plane < 0; }
    bool Checked() const { return m_layout.has_value(); }

    void Fail(const std::string& what);
    void Step();
    void AdvanceTime(std::uint64_t tstates);
    void ServiceTicks();
    void WaitOutside(unsigned wait);
    void RunTrap(std::uint16_t pc);
    void RunStandIn(std::uint16_t pc, std::uint8_t a);
    void ReturnFromTrap(std::uint64_t cost, unsigned stackUse);
    enum Keep : unsigned { keepNone = 0, keepBC = 1, keepDE = 2, keepHL = 4, keepAll = 8 };
    void Clobber(unsigned keep, int a, std::uint8_t flagsMask, std::uint8_t flagsValue);
    void AdvanceTape();
    std::optional<std::uint8_t> NextKey();
    void PumpLine();
    void Transmit(std::uint8_t c);
    std::uint64_t CharTime() const;
    std::uint16_t Random16() { return static_cast<std::uint16_t>(m_random()); }

    struct TapeItem {
        std::uint8_t byte;
        int baud;
        bool error;
    };
    struct Key {
        std::uint64_t time;
        std::size_t afterTaken;
        std::uint8_t key;
    };

    std::optional<Layout> m_layout; // set in the checked mode
    _z80_cpu_context* m_cpu = nullptr;
    std::mt19937 m_random;

    std::array<std::uint8_t, 0x10000> m_ram{};
    std::array<std::uint8_t, 0x8000> m_rom{};
    std::array<std::array<std::uint8_t, 0x4000>, 3> m_planes{};
    std::uint8_t m_port30 = 0x21; // RS-232C on the USART, motor off, 80 columns
    std::uint8_t m_port31 = 0x19;
    std::uint8_t m_port40 = 0x09;
    int m_plane = -1;

    std::uint64_t m_now = 0;
    std::uint64_t m_tickCount = 0;
    std::uint64_t m_nextTick = kClockHz / kFramesPerSecond;
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

    // cassette: the deck and the ROM's cassette input
    CCassetteDeck m_deck;
    bool m_input = false;
    int m_inputBaud = 0;
    std::deque<TapeItem> m_tapeFifo;
    std::size_t m_tapeDepth = 1;
    std::size_t m_tapeTaken = 0;
    std::size_t m_tapeOverruns = 0;
    std::size_t m_tapeUnheard = 0;
    std::uint64_t m_lastTapeByteTime = 0;

    // keyboard, screen, beeper
    std::vector<Key> m_keys;
    CKeySource* m_pKeys = nullptr;
    CTextScreen m_text;
    std::uint64_t m_nScreenMark = 0; // counted from the start, as PrintedCount
    std::uint64_t m_putCharCost = 1'200;
    std::uint64_t m_lineFeedCost = 1'200;
    std::uint64_t m_nBeeps = 0;
    std::vector<bool> m_beeperTicks;
    std::vector<RomCall> m_romCalls;

    // RS-232C
    CPc8801Outside* m_pOutside = nullptr;
    int m_nLineBaud = 9600;
    unsigned m_nFrameBits = 9; // start bit, 7 data bits, 1 stop bit
    bool m_bComOpen = false;
    bool m_bXonXoff = true;
    bool m_bHeld = false;
    std::uint64_t m_lineFree = 0;   // when the transmitter has sent its character
    std::uint64_t m_rxFree = 0;     // when the next received character is in
    std::deque<std::uint8_t> m_rx;  // received, not yet read: at most kLineInputBuffer
    std::vector<std::uint8_t> m_tx; // sent, not yet taken by the cable
    std::string m_rs232;
};

} // namespace pc88
