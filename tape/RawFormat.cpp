// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/RawFormat.h"

#include "tape/BlockInfo.h"

namespace {

// A machine-code file's own header (its ':' and three bytes) before its records.
constexpr std::size_t kMachineHeaderSize = 4;
constexpr std::uint8_t kRecordMark = kMachineLeadByte;
constexpr std::uint8_t kAltMachineLead = 'n';

// A run of zeros this long ends a BASIC body.
constexpr unsigned kBasicEndZerosMin = 10;
constexpr unsigned kBasicEndZerosMax = 12;

class CScanner {
  public:
    CScanner(std::span<const std::uint8_t> b, std::vector<CTapeBlock>& blocks)
        : m_b(b), m_n(b.size()), m_blocks(blocks) {}

    void Run() {
        std::size_t p = 0;
        while (p < m_n) {
            const std::uint8_t c = m_b[p];
            if (c == kBasicLeadByte && IsBasicHeader(p)) {
                p = Emit(p, BasicEnd(p));
            } else if (c == kNamedMachineLeadByte && IsNamedHeader(p)) {
                p = Named(p);
            } else if ((c == kRecordMark || c == kAltMachineLead) &&
                       p + kMachineHeaderSize <= m_n) {
                p = Emit(p, MachineEnd(p + kMachineHeaderSize));
            } else {
                ++p;
            }
        }
        if (m_d < m_n)
            Emit(m_n, m_n);
    }

  private:
    bool IsBasicHeader(std::size_t p) const {
        if (p + kBasicHeaderSize > m_n)
            return false;
        for (std::size_t i = 1; i < kBasicLeadCount; ++i) {
            if (m_b[p + i] != kBasicLeadByte)
                return false;
        }
        return true;
    }

    bool IsNamedHeader(std::size_t p) const {
        if (p + kNamedMachineHeaderSize > m_n)
            return false;
        for (std::size_t i = 1; i < kNamedMachineLeadCount; ++i) {
            if (m_b[p + i] != kNamedMachineLeadByte)
                return false;
        }
        return true;
    }

    // The end of a BASIC program whose header starts at c.
    std::size_t BasicEnd(std::size_t c) const {
        std::size_t p = c + kBasicHeaderSize;
        if (p == m_n)
            return p;
        unsigned zeros = 0;
        for (;;) {
            const std::uint8_t b = m_b[p++];
            if (b == 0x00) {
                if (++zeros == kBasicEndZerosMax)
                    break;
            } else if (zeros >= kBasicEndZerosMin) {
                --p; // this byte belongs to what follows
                break;
            } else {
                zeros = 0;
            }
            if (p == m_n)
                return p;
        }
        if (p < m_n && m_b[p] == 0x00)
            ++p;
        return p;
    }

    // Walks the ':' records of a machine-code file from p (past its header).
    std::size_t MachineEnd(std::size_t p) const {
        while (p < m_n && m_b[p] == kRecordMark) {
            if (++p >= m_n)
                break;
            const std::size_t k = m_b[p++];
            if (p + k + 1 > m_n)
                break;
            p += k + 1;
            if (p >= m_n || k == 0)
                break;
        }
        return p;
    }

    // A "$$$" header at c; a ':' file right after it belongs to the block.
    std::size_t Named(std::size_t c) {
        const std::size_t p = c + kNamedMachineHeaderSize;
        if (p < m_n && m_b[p] == kRecordMark) {
            if (p + kMachineHeaderSize > m_n) {
                // Too short for a file: the block is the header alone, and
                // the ':' waits for whatever block comes next.
                Emit(c, p);
                return p + 1;
            }
            return Emit(c, MachineEnd(p + kMachineHeaderSize));
        }
        return Emit(c, p);
    }

    // Cuts the blocks for a find from c to p: the bytes before it, then it.
    std::size_t Emit(std::size_t c, std::size_t p) {
        if (c > m_d) {
            Append(m_d, c);
            m_d = c;
        }
        if (p > c) {
            Append(c, p);
            m_d = p;
        }
        return p;
    }

    void Append(std::size_t from, std::size_t to) {
        CTapeBlock& block = m_blocks.emplace_back();
        block.m_nBaud = kBaudSlow;
        block.m_data.assign(m_b.begin() + static_cast<std::ptrdiff_t>(from),
                            m_b.begin() + static_cast<std::ptrdiff_t>(to));
    }

    std::span<const std::uint8_t> m_b;
    std::size_t m_n;
    std::size_t m_d = 0; // first byte not yet in a block
    std::vector<CTapeBlock>& m_blocks;
};

} // namespace

void ReadRaw(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks) {
    CScanner(image, blocks).Run();
}

void WriteRaw(const std::vector<CTapeBlock>& blocks, CByteSink& sink) {
    for (const CTapeBlock& block : blocks)
        sink.Write(block.m_data.data(), block.m_data.size());
}
