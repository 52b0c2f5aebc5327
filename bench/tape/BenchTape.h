// SPDX-License-Identifier: GPL-3.0-or-later
// The tape the tape benchmarks and the memory driver work on: 64 MiB in
// blocks of 32 KiB, taking turns between a BASIC program and a machine-code
// file of ':' records, the two kinds the raw scanner finds again, so reading
// the raw image gives back the same blocks. All are at 1200 baud: at 600
// baud, 64 MiB of tape would outlast the 32-bit time of a KXM image (about
// 48 MB does); at 1200 it lasts about 174 hours, within it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "session/ReceiveContext.h"
#include "tape/TapeBlock.h"

namespace bench {

inline constexpr std::size_t kTapeSize = 64u << 20;
inline constexpr std::size_t kBlockSize = 32u << 10;
inline constexpr std::size_t kBlockCount = kTapeSize / kBlockSize;

// Bytes that look like program text: never zero, so no run of zeros ends a
// BASIC body early, and never ':' or 'n' (which the scanner would take for
// the start of another file when met outside a block).
class CFiller {
  public:
    std::uint8_t Next() {
        m_state = m_state * 6364136223846793005u + 1442695040888963407u;
        auto b = static_cast<std::uint8_t>(m_state >> 56);
        return b == 0x00 || b == ':' || b == 'n' ? 0x20 : b;
    }

  private:
    std::uint64_t m_state = 0x5EED;
};

// D3 x10, a name, a body, and the twelve zeros that end it.
inline CTapeBlock BasicBlock(CFiller& fill, std::size_t nSize) {
    constexpr std::size_t kEndZeros = 12;
    CTapeBlock block;
    block.m_nBaud = kBaudFast;
    block.m_data.assign(10, 0xD3);
    for (char c : std::string("BENCH "))
        block.m_data.push_back(static_cast<std::uint8_t>(c));
    while (block.m_data.size() < nSize - kEndZeros)
        block.m_data.push_back(fill.Next());
    block.m_data.resize(nSize, 0x00);
    return block;
}

// ':' and a 3-byte load address, records of ':' count bytes sum, and the
// end record ':' 00 00.
inline CTapeBlock MachineBlock(CFiller& fill, std::size_t nSize) {
    constexpr std::size_t kHeader = 4;
    constexpr std::size_t kEnd = 3;
    constexpr std::size_t kRecordOverhead = 3; // ':', count, sum
    CTapeBlock block;
    block.m_nBaud = kBaudFast;
    block.m_data = {':', 0xC0, 0x00, 0x40};
    std::size_t nLeft = nSize - kHeader - kEnd;
    while (nLeft > 0) {
        const std::size_t nCount = std::min<std::size_t>(255, nLeft - kRecordOverhead);
        block.m_data.push_back(':');
        block.m_data.push_back(static_cast<std::uint8_t>(nCount));
        unsigned sum = 0;
        for (std::size_t i = 0; i < nCount; ++i) {
            const std::uint8_t b = fill.Next();
            sum += b;
            block.m_data.push_back(b);
        }
        block.m_data.push_back(static_cast<std::uint8_t>(-sum));
        nLeft -= nCount + kRecordOverhead;
    }
    block.m_data.insert(block.m_data.end(), {':', 0x00, 0x00});
    return block;
}

// Block nIndex of the tape; blocks must be made in order, from one filler.
inline CTapeBlock MakeBlock(CFiller& fill, std::size_t nIndex) {
    return nIndex % 2 == 0 ? BasicBlock(fill, kBlockSize) : MachineBlock(fill, kBlockSize);
}

inline std::vector<CTapeBlock> MakeTape() {
    CFiller fill;
    std::vector<CTapeBlock> blocks;
    blocks.reserve(kBlockCount);
    for (std::size_t i = 0; i < kBlockCount; ++i)
        blocks.push_back(MakeBlock(fill, i));
    return blocks;
}

inline std::size_t TapeBytes(const std::vector<CTapeBlock>& blocks) {
    std::size_t n = 0;
    for (const CTapeBlock& block : blocks)
        n += block.m_data.size();
    return n;
}

// Receiving without a window: messages are only counted.
class CQuietUi final : public CReceiveUi {
  public:
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId) override { ++m_nMessages; }
    int m_nMessages = 0;
};

} // namespace bench
