// SPDX-License-Identifier: GPL-3.0-or-later
// What the N88-BASIC interpreter needs of the machine it runs on.
//
// The interpreter keeps its program text and variables to itself; the
// machine gives it the things a BASIC program reaches through the hardware:
// main RAM for PEEK and POKE, the Z80 for USR, the text screen, the
// keyboard, the RS-232C line and the beeper, and the passing of time.
//
// Every call may let machine time pass (a key wait, a full output line held
// by XOFF, a USR routine reading the cassette). A call that cannot go on
// because the user or the far end ended the session throws CHostStop; the
// interpreter lets it pass out of whatever it is running.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace pc88 {

// The session is over (Ctrl+C, the key script ended, the line closed while
// the interpreter waited for it): not a BASIC error.
class CHostStop : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CBasicHost {
  public:
    virtual ~CBasicHost() = default;

    // Main RAM as PEEK and POKE see it (the ROM and the graphic planes
    // mapped out). The interpreter has already turned a negative address
    // into its 16-bit form.
    virtual std::uint8_t Peek(std::uint16_t address) = 0;
    virtual void Poke(std::uint16_t address, std::uint8_t value) = 0;

    // USRn(argument) with an integer argument, as N88-BASIC makes the call:
    // A = 2 (integer), HL = the address of the argument's 16-bit value, low
    // byte first. Returns the word the routine leaves there. Throws
    // std::runtime_error when the machine code does what the machine cannot
    // run (the message names what happened).
    virtual std::int16_t CallUsr(std::uint16_t entry, std::int16_t argument) = 0;

    // The text screen: one character as N88-BASIC's console prints it
    // (CR and LF end a line; PRINT's line end is CR LF).
    virtual void PutChar(std::uint8_t c) = 0;

    // The keyboard. WaitKey waits until a key is pressed (INPUT$(1), and
    // the line input of direct mode); PollKey takes a key that is waiting
    // and does not wait (INKEY$).
    virtual std::uint8_t WaitKey() = 0;
    virtual std::optional<std::uint8_t> PollKey() = 0;

    // The RS-232C line, opened by OPEN "COM:..." or LOAD "COM:..." with the
    // frame the text after "COM:" asks for (for example "N71XN").
    virtual void ComOpen(const std::string& frame) = 0;
    // Output: returns once the bytes are taken into the line's output, which
    // may wait while the far end holds it with XOFF.
    virtual void ComWrite(std::span<const std::uint8_t> bytes) = 0;
    // Input for LOAD: the next byte that arrived, waiting for it.
    virtual std::uint8_t ComRead() = 0;
    // CLOSE: waits until the output has left the line.
    virtual void ComClose() = 0;

    // BEEP: one beep of the beeper.
    virtual void Beep() = 0;

    // Time that one statement of the interpreter takes on the machine, in
    // T-states of the 4 MHz clock; the machine runs its clock on by it.
    virtual void Elapse(std::uint64_t tstates) = 0;
};

} // namespace pc88
