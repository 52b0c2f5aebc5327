// SPDX-License-Identifier: GPL-3.0-or-later
// The few things the serial port's threads need of a serial line, behind an
// interface of our own: a POSIX terminal device in the program, an in-memory
// line in tests that must decide exactly when a byte arrives or a write ends.
//
// A device lives for one open period. Stop() is its stop signal: once set it
// stays set, and every wait, the one under way and all later ones, returns
// `stopped` at once. That is what lets one call end both worker threads.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "serial/TermiosSettings.h"

struct CIoResult {
    enum Kind {
        done,       // the wait is over / the bytes were read or written
        wouldBlock, // nothing to read, or no room to write, right now
        timedOut,   // the wait's time ran out
        stopped,    // the stop signal is set
        hungUp,     // the line went away: the far end closed it or the device was removed
        failed,     // a system call failed; nErrno says why
    };

    Kind kind = done;
    std::size_t nCount = 0; // bytes read or written by a `done` transfer
    int nErrno = 0;         // the system's error number of a `failed` result

    static CIoResult Done(std::size_t n = 0) { return {done, n, 0}; }
    static CIoResult Failed(int err) { return {failed, 0, err}; }
    static CIoResult Of(Kind k) { return {k, 0, 0}; }
};

class CSerialDevice {
  public:
    virtual ~CSerialDevice() = default;

    // True for a pseudo-terminal: it carries bytes, not a framed wire, so it
    // has no character size or parity of its own.
    virtual bool IsPseudoTerminal() const = 0;

    // The line settings, read and written; 0 or the system's error number.
    virtual int GetAttributes(termios& attr) = 0;
    virtual int SetAttributes(const termios& attr) = 0;

    // Waits without time limit until a byte can be read or the line has gone
    // away (`done`: the next ReadByte tells which), or the stop signal is set.
    virtual CIoResult WaitReadable() = 0;

    // Waits until the line may take more bytes, for at most `timeout`.
    virtual CIoResult WaitWritable(std::chrono::milliseconds timeout) = 0;

    // Sleeps for `timeout` unless the stop signal comes first.
    virtual CIoResult WaitStop(std::chrono::microseconds timeout) = 0;

    // The writer's doorbell: WakeSender rings it (from any thread) and the
    // ring is kept until WaitSendWake takes it, so a ring between the
    // writer's last look at its queue and its wait is not lost. The wait has
    // no time limit; the stop signal also ends it.
    virtual void WakeSender() = 0;
    virtual CIoResult WaitSendWake() = 0;

    // Never block: `done` with one byte, `wouldBlock`, `hungUp` or `failed`.
    virtual CIoResult ReadByte(std::uint8_t& byte) = 0;

    // Never blocks: `done` with the count taken (at least 1), `wouldBlock`
    // when the line takes nothing now (full, or held by XOFF), or `failed`.
    virtual CIoResult Write(std::span<const std::uint8_t> bytes) = 0;

    // Bytes written but still waiting in the system's output queue; a
    // pseudo-terminal always says 0. 0 or the system's error number.
    virtual int GetOutputQueued(int& nQueued) = 0;

    // Sets the stop signal (see above). Safe to call from any thread.
    virtual void Stop() = 0;
};

// Opens a terminal device the way a serial port must be opened: read and
// write, not as our controlling terminal, without waiting for carrier, and
// for us alone. Alone means TIOCEXCL, which refuses later opens by other
// users, plus an exclusive advisory lock on the device, which also refuses a
// second open by root (TIOCEXCL does not) and by any program that locks its
// serial ports the same way.
//
// On failure returns null and sets nErrno (EBUSY when someone else has the
// port). The device restores the settings it found when it is destroyed.
std::unique_ptr<CSerialDevice> OpenPosixSerialDevice(const std::string& path, int& nErrno);
