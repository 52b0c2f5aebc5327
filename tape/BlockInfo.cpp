// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/BlockInfo.h"

#include <algorithm>

namespace {

bool AllEqual(const std::uint8_t* p, std::size_t n, std::uint8_t value) {
    return std::all_of(p, p + n, [value](std::uint8_t b) { return b == value; });
}

const char* TypeText(int kind) {
    switch (kind) {
    case BLOCK_BASIC:
        return "Basic";
    case BLOCK_MACHINE:
    case BLOCK_NAMED_MACHINE:
        return "Machine Code";
    case BLOCK_DATA:
        return "Data";
    default:
        return "Unknown";
    }
}

// One byte of a cassette file name as UTF-8. The PC-8801 writes names in its
// single-byte code: ASCII, and half-width katakana at 0xA1-0xDF, which map
// one to one onto U+FF61-U+FF9F.
void AppendNameByte(std::string& out, std::uint8_t b) {
    if (b >= 0x20 && b <= 0x7E) {
        out += static_cast<char>(b);
    } else if (b == 0xA0) {
        out += ' ';
    } else if (b >= 0xA1 && b <= 0xDF) {
        const unsigned cp = 0xFF61 + (b - 0xA1);
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += '.';
    }
}

} // namespace

int IdentifyBlock(const std::uint8_t* pData, std::size_t nLength) {
    if (nLength >= kBasicHeaderSize && AllEqual(pData, kBasicLeadCount, kBasicLeadByte))
        return BLOCK_BASIC;
    if (nLength >= kNamedMachineHeaderSize &&
        AllEqual(pData, kNamedMachineLeadCount, kNamedMachineLeadByte))
        return BLOCK_NAMED_MACHINE;
    if (nLength >= 1 && pData[0] == kMachineLeadByte)
        return BLOCK_MACHINE;
    if (nLength >= kDataLeadCount && AllEqual(pData, kDataLeadCount, kDataLeadByte))
        return BLOCK_DATA;
    return BLOCK_UNKNOWN;
}

std::size_t NamedHeaderSize(const std::uint8_t* pData, std::size_t nLength) {
    switch (IdentifyBlock(pData, nLength)) {
    case BLOCK_BASIC:
        return kBasicHeaderSize;
    case BLOCK_NAMED_MACHINE:
        return kNamedMachineHeaderSize;
    default:
        return 0;
    }
}

void GetBlockInfo(const CTapeBlock& block, std::string& strBaud, std::string& strBytes,
                  std::string& strType, std::string& strName) {
    strBaud = std::to_string(block.m_nBaud);
    strBytes = std::to_string(block.m_data.size());
    strName.clear();

    const int kind = IdentifyBlock(block.m_data.data(), block.m_data.size());
    strType = TypeText(kind);

    std::size_t nameOffset = 0;
    if (kind == BLOCK_BASIC)
        nameOffset = kBasicLeadCount;
    else if (kind == BLOCK_NAMED_MACHINE)
        nameOffset = kNamedMachineLeadCount;
    else
        return;

    for (std::size_t i = 0; i < kFileNameSize; ++i) {
        const std::uint8_t b = block.m_data[nameOffset + i];
        if (b == 0x00)
            break;
        AppendNameByte(strName, b);
    }
}
