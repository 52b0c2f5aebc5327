// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/Z80Listing.h"

#include <cstdio>

#include "inspect/Z80Decode.h"
#include "tape/BlockInfo.h"

namespace inspect {
namespace {

constexpr std::size_t kMaxInstruction = 4;
constexpr std::uint8_t kRecordMark = ':';

std::uint8_t Sum(std::span<const std::uint8_t> bytes) {
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint8_t>(sum);
}

} // namespace

std::string Disassemble(std::span<const std::uint8_t> code, unsigned address) {
    std::string out;
    for (std::size_t at = 0; at < code.size();) {
        const unsigned pc = (address + at) & 0xFFFF;
        char mnemonic[64];
        auto length = DecodeZ80(code, address, at, mnemonic, sizeof mnemonic);
        if (length == 0 || length > kMaxInstruction)
            length = 1;
        char line[96];
        if (at + length > code.size()) {
            // The code ends inside an instruction: the bytes left, as data.
            for (; at < code.size(); ++at) {
                std::snprintf(line, sizeof line, "%04X  %02X           DB #%02X\n",
                              static_cast<unsigned>((address + at) & 0xFFFF), code[at], code[at]);
                out += line;
            }
            break;
        }
        std::string bytes;
        for (std::size_t k = 0; k < kMaxInstruction; ++k) {
            char b[4] = "   ";
            if (k < length)
                std::snprintf(b, sizeof b, "%02X ", code[at + k]);
            bytes += b;
        }
        bytes.pop_back();
        std::snprintf(line, sizeof line, "%04X  %s  %s\n", pc, bytes.c_str(), mnemonic);
        out += line;
        at += length;
    }
    return out;
}

SMachineListing ListMachineCode(std::span<const std::uint8_t> block) {
    SMachineListing listing;
    std::size_t at = IdentifyBlock(block.data(), block.size()) == BLOCK_NAMED_MACHINE
                         ? kNamedMachineHeaderSize
                         : 0;
    auto stop = [&](std::size_t where) {
        listing.cutOff = true;
        listing.stoppedAt = where;
    };
    // The header record: ':' address (high, low) and its check byte.
    if (at + 4 > block.size() || block[at] != kRecordMark) {
        stop(at);
        return listing;
    }
    listing.loadAddress = (block[at + 1] << 8) | block[at + 2];
    if (Sum(block.subspan(at + 1, 3)) != 0)
        listing.badChecks.push_back(at);
    at += 4;
    while (true) {
        if (at + 2 > block.size() || block[at] != kRecordMark) {
            stop(at);
            break;
        }
        const std::size_t length = block[at + 1];
        if (at + 2 + length + 1 > block.size()) {
            stop(at);
            break;
        }
        if (Sum(block.subspan(at + 1, length + 2)) != 0)
            listing.badChecks.push_back(at);
        const auto data = block.subspan(at + 2, length);
        listing.code.insert(listing.code.end(), data.begin(), data.end());
        at += 2 + length + 1;
        if (length == 0)
            break;
    }
    listing.text = Disassemble(listing.code, listing.loadAddress);
    return listing;
}

} // namespace inspect
