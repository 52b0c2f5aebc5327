// SPDX-License-Identifier: GPL-3.0-or-later
// What a block is, read from its first bytes: the headers that PC-8801 BASIC
// and machine-code files carry on cassette.
//
//   BASIC program        D3 x10, name[6], body...                  (>= 16 bytes)
//   named machine code   "$$$", name[6], then usually a ':' file   (>= 9 bytes)
//   machine code         ':' records...                            (>= 1 byte)
//   data file            9C x6, ...                                (>= 6 bytes)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tape/TapeBlock.h"

enum BlockKind : int {
    BLOCK_UNKNOWN = 0,
    BLOCK_BASIC = 1,
    BLOCK_MACHINE = 2,
    BLOCK_NAMED_MACHINE = 3,
    BLOCK_DATA = 4,
};

inline constexpr std::size_t kBasicHeaderSize = 16;       // ten 0xD3 and the name
inline constexpr std::size_t kNamedMachineHeaderSize = 9; // "$$$" and the name
inline constexpr std::size_t kFileNameSize = 6;

// The bytes that open each kind, and how many of them.
inline constexpr std::uint8_t kBasicLeadByte = 0xD3;
inline constexpr std::size_t kBasicLeadCount = 10;
inline constexpr std::uint8_t kNamedMachineLeadByte = '$';
inline constexpr std::size_t kNamedMachineLeadCount = 3;
inline constexpr std::uint8_t kMachineLeadByte = ':';
inline constexpr std::uint8_t kDataLeadByte = 0x9C;
inline constexpr std::size_t kDataLeadCount = 6;

// The kind of the nLength bytes at pData. Reads no byte beyond the least
// length of the kind it tests.
int IdentifyBlock(const std::uint8_t* pData, std::size_t nLength);

// The size of the named header (BASIC or "$$$") that starts the block, which
// the KXM format keeps in a record of its own; 0 for every other kind.
std::size_t NamedHeaderSize(const std::uint8_t* pData, std::size_t nLength);

// The four texts of a block's row: speed, byte count, type, and the file name
// in UTF-8. Each output is overwritten.
void GetBlockInfo(const CTapeBlock& block, std::string& strBaud, std::string& strBytes,
                  std::string& strType, std::string& strName);
