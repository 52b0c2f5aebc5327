// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/KxmFormat.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tape/BlockInfo.h"
#include "tape/Errors.h"

namespace {

constexpr std::array<std::uint8_t, 24> kMagic{'P', 'C', '-', '8', '8', '0', '1', ' ',
                                              'T', 'a', 'p', 'e', ' ', 'I', 'm', 'a',
                                              'g', 'e', '(', 'K', 'X', 'M', ')', 0x00};

constexpr std::uint16_t kTagEnd = 0x0000;
constexpr std::uint16_t kTagVersion = 0x0001;
constexpr std::uint16_t kTagData = 0x0101;
constexpr std::uint16_t kTagOuterGap = 0x0102;
constexpr std::uint16_t kTagInnerGap = 0x0103;

constexpr std::uint16_t kVersion = 0x0100;
constexpr std::size_t kRecordHeaderSize = 4;
constexpr std::size_t kDataFieldsSize = 12; // start, duration, count, flags
constexpr std::size_t kGapBodySize = 8;

constexpr std::uint16_t kFlagsSlow = 0x00CC;
constexpr std::uint16_t kFlagsFast = 0x01CC;
constexpr std::uint16_t kFlagFastBit = 0x0100;
constexpr std::uint32_t kTicksPerByteSlow = 88;
constexpr std::uint32_t kTicksPerByteFast = 44;

// Gaps the writer leaves around each block, in ticks.
constexpr std::uint32_t kLeadingOuterGap = 7200;
constexpr std::uint32_t kLeadingInnerGap = 2400;
constexpr std::uint32_t kHeaderBodyGap = 480;
constexpr std::uint32_t kTrailingInnerGap = 4800;
constexpr std::uint32_t kTrailingOuterGap = 9600;

constexpr std::size_t kMaxChunk = 0x8000;

// Reads the image front to back; every read checks the bytes left first.
class CReader {
  public:
    explicit CReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t Left() const { return m_bytes.size() - m_nPos; }

    std::span<const std::uint8_t> Take(std::size_t n) {
        if (Left() < n)
            throw CArchiveException(CArchiveException::generic);
        auto piece = m_bytes.subspan(m_nPos, n);
        m_nPos += n;
        return piece;
    }
    std::uint16_t Word() {
        auto p = Take(2);
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    std::uint32_t DWord() {
        auto p = Take(4);
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    // Whether the next 24 bytes are the magic; consumes them if there are 24.
    bool TakeMagicIfThere() {
        if (Left() < kMagic.size())
            return false;
        auto p = Take(kMagic.size());
        return std::equal(p.begin(), p.end(), kMagic.begin());
    }

  private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_nPos = 0;
};

// Record writer with a running time.
class CWriter {
  public:
    explicit CWriter(CByteSink& sink) : m_sink(sink) {}

    void Header(std::uint16_t tag, std::uint16_t length) {
        std::uint8_t b[kRecordHeaderSize];
        PutWord(b, tag);
        PutWord(b + 2, length);
        m_sink.Write(b, sizeof b);
    }
    void Gap(std::uint16_t tag, std::uint32_t duration) {
        Header(tag, kGapBodySize);
        std::uint8_t b[kGapBodySize];
        PutDWord(b, m_time);
        PutDWord(b + 4, duration);
        m_sink.Write(b, sizeof b);
        m_time += duration;
    }
    void Data(const std::uint8_t* p, std::uint16_t n, std::uint32_t ticksPerByte,
              std::uint16_t flags) {
        Header(kTagData, static_cast<std::uint16_t>(kDataFieldsSize + n));
        const std::uint32_t duration = n * ticksPerByte;
        std::uint8_t b[kDataFieldsSize];
        PutDWord(b, m_time);
        PutDWord(b + 4, duration);
        PutWord(b + 8, n);
        PutWord(b + 10, flags);
        m_sink.Write(b, sizeof b);
        m_sink.Write(p, n);
        m_time += duration;
    }
    CByteSink& Sink() { return m_sink; }

  private:
    static void PutWord(std::uint8_t* p, std::uint16_t v) {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
    }
    static void PutDWord(std::uint8_t* p, std::uint32_t v) {
        PutWord(p, static_cast<std::uint16_t>(v));
        PutWord(p + 2, static_cast<std::uint16_t>(v >> 16));
    }

    CByteSink& m_sink;
    std::uint32_t m_time = 0; // wraps like the 32-bit field it is written to
};

} // namespace

void ReadKxm(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks) {
    CReader in(image);
    if (in.Left() < kMagic.size())
        throw CArchiveException(CArchiveException::generic);
    if (!in.TakeMagicIfThere())
        throw CArchiveException(CArchiveException::badFormat);

    bool bJoin = false;      // the last block was a header whose body comes next
    std::uint32_t nEnd = 0;  // end time of the last data record
    std::uint32_t nBase = 0; // start of the current image within joined images

    for (;;) {
        const std::uint16_t tag = in.Word();
        const std::uint16_t length = in.Word();

        if (tag == kTagEnd) {
            if (!in.TakeMagicIfThere())
                return; // whatever follows the end record is not ours
            nBase = nEnd;
            continue;
        }

        if (tag != kTagData) {
            in.Take(length);
            continue;
        }

        const std::uint32_t start = in.DWord();
        const std::uint32_t duration = in.DWord();
        const std::uint16_t count = in.Word();
        const std::uint16_t flags = in.Word();
        const auto rest = static_cast<std::uint16_t>(length - kDataFieldsSize);
        if (rest < count)
            throw CArchiveException(CArchiveException::badFormat);

        const std::uint32_t absStart = start + nBase;
        const bool bContinue = !blocks.empty() && (bJoin || absStart <= nEnd);
        const auto bytes = in.Take(count);
        if (!bContinue) {
            CTapeBlock& block = blocks.emplace_back();
            block.m_nBaud = (flags & kFlagFastBit) ? kBaudFast : kBaudSlow;
            block.m_data.assign(bytes.begin(), bytes.end());
            bJoin = NamedHeaderSize(bytes.data(), bytes.size()) != 0;
        } else {
            ByteArray& data = blocks.back().m_data;
            data.insert(data.end(), bytes.begin(), bytes.end());
            bJoin = false;
        }
        nEnd = absStart + duration;
        in.Take(rest - count);
    }
}

void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink) {
    CWriter out(sink);
    sink.Write(kMagic.data(), kMagic.size());
    out.Header(kTagVersion, 2);
    const std::uint8_t version[2] = {kVersion & 0xFF, kVersion >> 8};
    sink.Write(version, sizeof version);

    for (const CTapeBlock& block : blocks) {
        const std::uint32_t ticksPerByte = block.IsSlow() ? kTicksPerByteSlow : kTicksPerByteFast;
        const std::uint16_t flags = block.IsSlow() ? kFlagsSlow : kFlagsFast;
        const std::uint8_t* p = block.m_data.data();
        std::size_t nLeft = block.m_data.size();

        // A named header goes in a record of its own, apart from its body.
        std::size_t nHeader = NamedHeaderSize(p, nLeft);

        out.Gap(kTagOuterGap, kLeadingOuterGap);
        out.Gap(kTagInnerGap, kLeadingInnerGap);
        // An empty block still gets one data record, of count 0.
        do {
            const std::size_t nChunk = nHeader != 0 ? nHeader : std::min(nLeft, kMaxChunk);
            out.Data(p, static_cast<std::uint16_t>(nChunk), ticksPerByte, flags);
            p += nChunk;
            nLeft -= nChunk;
            if (nHeader != 0) {
                out.Gap(kTagInnerGap, kHeaderBodyGap);
                nHeader = 0;
            }
        } while (nLeft != 0);
        out.Gap(kTagInnerGap, kTrailingInnerGap);
        out.Gap(kTagOuterGap, kTrailingOuterGap);
    }
    out.Header(kTagEnd, 0);
}
