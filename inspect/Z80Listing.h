// SPDX-License-Identifier: GPL-3.0-or-later
// A machine-code block disassembled at its load address with libz80ex's
// own disassembler, one instruction a line:
//
//   AAAA  BB BB BB BB  MNEMONIC
//
// (address, the instruction's bytes padded to four, the mnemonic as the
// library writes it). The block is in the cassette record form, optionally
// after a "$$$" header with a six-byte name:
//
//   ["$$$" name[6]]  ':' addr-high addr-low check  { ':' n data[n] check }  ':' 00 check
//
// Each check byte makes the bytes after its ':' sum to 0 (mod 256). The
// records' data follow one another from the load address. A record whose
// check byte is wrong is reported with its offset; its bytes are still
// disassembled. Not confirmed by a public description: the check-byte
// rule; the record layout follows what the loader on the PC-8801 reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace inspect {

struct SMachineListing {
    std::string text;
    unsigned loadAddress = 0;
    std::vector<std::uint8_t> code;     // the records' data, in order
    std::vector<std::size_t> badChecks; // block offsets of the ':' of each bad record
    // Set when the records end before the end record: where the walk stopped.
    bool cutOff = false;
    std::size_t stoppedAt = 0;
};

// Disassembles a block of kind BLOCK_MACHINE or BLOCK_NAMED_MACHINE.
SMachineListing ListMachineCode(std::span<const std::uint8_t> block);

// Disassembles bytes placed at an address (no records).
std::string Disassemble(std::span<const std::uint8_t> code, unsigned address);

} // namespace inspect
