// SPDX-License-Identifier: GPL-3.0-or-later
// What relmuth-pc88 gives the virtual PC-8801 of the host: a
// pseudo-terminal as its RS-232C port, the terminal as its screen and
// keyboard, the wall clock, and the signals that end a session.
#pragma once

#include <signal.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <termios.h>

#include "pc88/Pc8801.h"
#include "tools/relmuth-pc88/Typists.h"

// A pseudo-terminal standing for the RS-232C port: the machine holds the
// master, the far end opens the slave by its path. The slave is raw with no
// echo, and the machine keeps it open itself, so that the line stays up
// between the far end's opens and the machine can tell what the far end has
// not read yet. An optional symbolic link to the slave lives as long as
// the object.
class CPtyLine {
  public:
    // Throws std::runtime_error with the reason.
    CPtyLine();
    ~CPtyLine();
    CPtyLine(const CPtyLine&) = delete;
    CPtyLine& operator=(const CPtyLine&) = delete;

    const std::string& Path() const { return m_strPath; }
    int Master() const { return m_master; }
    // Makes the link (replacing a stale link, never another file); throws
    // std::runtime_error with the reason.
    void MakeLink(const std::string& linkPath);
    // Bytes sent that the far end has not read yet.
    int Unread() const;

  private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_strPath;
    std::string m_strLink;
};

// Standard input in raw mode while the object lives, when it is a terminal.
class CRawTerminal {
  public:
    CRawTerminal();
    ~CRawTerminal();
    CRawTerminal(const CRawTerminal&) = delete;
    CRawTerminal& operator=(const CRawTerminal&) = delete;
    bool IsTerminal() const { return m_bRaw; }

  private:
    termios m_saved{};
    bool m_bRaw = false;
};

// The signals that would end the process (SIGINT, SIGTERM, SIGHUP,
// SIGQUIT, SIGUSR1 and the like), blocked and readable through a
// descriptor, so that the session ends through the destructors.
class CStopSignals {
  public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;
    int Fd() const { return m_fd; }
    // Takes a signal that came; true when there was one.
    bool Raised();
    // The first signal taken, or 0.
    int Signal() const { return m_nSignal; }

  private:
    sigset_t m_set{};
    sigset_t m_old{};
    int m_fd = -1;
    int m_nSignal = 0;
};

// The screen on standard output: redrawn in place on a terminal, otherwise
// written as plain lines in the order printed.
class CDisplay {
  public:
    CDisplay(const pc88::CTextScreen& screen, bool bTerminal);
    // Shows what changed since the last call.
    void Update();
    // The last update, and the cursor put below the screen.
    void Finish();

  private:
    void Redraw();
    void WritePlain();

    const pc88::CTextScreen& m_screen;
    bool m_bTerminal;
    std::uint64_t m_nShownChanges = ~std::uint64_t{0};
    int m_nShownRow = -1;
    int m_nShownColumn = -1;
    std::uint64_t m_nWritten = 0; // printed text written, counted from the start
};

// The world outside the machine, as relmuth-pc88 runs it.
class CHostOutside final : public pc88::CPc8801Outside {
  public:
    struct Options {
        bool bFast = false;         // no pacing against the wall clock
        bool bKeysFromInput = true; // standard input's bytes are keys
        bool bInputIsTerminal = false;
    };
    CHostOutside(CPtyLine& line, CStopSignals& signals, CDisplay& display, CTerminalKeys& keys,
                 Options options);

    void OnTick(std::uint64_t now) override;
    std::uint64_t Idle(std::uint64_t now, unsigned wait) override;
    std::size_t LineReceive(std::span<std::uint8_t> buffer) override;
    std::size_t LineSend(std::span<const std::uint8_t> bytes) override;

    // Waits until the far end has read everything sent, or until it has read
    // nothing for the given time; the bytes still unread. Stops early on a
    // stop signal.
    int WaitForFarEnd(std::chrono::milliseconds patience);
    // Ctrl+C or a signal ended the session.
    bool Interrupted() const { return m_bInterrupted; }

  private:
    using Clock = std::chrono::steady_clock;
    // Waits up to timeoutMs for input, the line or a signal; takes in keys
    // and signals.
    void PollOnce(int timeoutMs, unsigned wait);
    void TakeInput();
    void Pace(std::uint64_t now);

    CPtyLine& m_line;
    CStopSignals& m_signals;
    CDisplay& m_display;
    CTerminalKeys& m_keys;
    Options m_options;
    bool m_bInputOpen;
    Clock::time_point m_wallBase;
    std::uint64_t m_machineBase = 0;
    Clock::time_point m_lastLook;
    bool m_bInterrupted = false;
};
