// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/KxmFormat.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tape/Errors.h"

namespace {

constexpr std::array<std::uint8_t, 24> kMagic{'P', 'C', '-', '8', '8', '0', '1', ' ',
                                              'T', 'a', 'p', 'e', ' ', 'I', 'm', 'a',
                                              'g', 'e', '(', 'K', 'X', 'M', ')', 0x00};

constexpr std::uint16_t kTagEnd = 0x0000;
constexpr std::uint16_t kTagVersion = 0x0001;
constexpr std::uint16_t kTagData = 0x0101;

constexpr std::uint16_t kVersion = 0x0100;
constexpr std::size_t kRecordHeaderSize = 4;
constexpr std::size_t kDataFieldsSize = 12; // start, duration, count, flags
constexpr std::size_t kGapBodySize = 8;

constexpr std::uint16_t kFlagsSlow = 0x00CC;
constexpr std::uint16_t kFlagsFast = 0x01CC;
constexpr std::uint16_t kFlagFastBit = 0x0100;

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

// Writes the records of a time line as they come.
class CWriter final : public CTapeRecordSink {
  public:
    explicit CWriter(CByteSink& sink) : m_sink(sink) {}

    void Header(std::uint16_t tag, std::uint16_t length) {
        std::uint8_t b[kRecordHeaderSize];
        PutWord(b, tag);
        PutWord(b + 2, length);
        m_sink.Write(b, sizeof b);
    }
    void OnGap(TapeGap kind, std::uint32_t nStart, std::uint32_t nDuration) override {
        Header(static_cast<std::uint16_t>(kind), kGapBodySize);
        std::uint8_t b[kGapBodySize];
        PutDWord(b, nStart);
        PutDWord(b + 4, nDuration);
        m_sink.Write(b, sizeof b);
    }
    void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                std::span<const std::uint8_t> bytes) override {
        const auto n = static_cast<std::uint16_t>(bytes.size());
        Header(kTagData, static_cast<std::uint16_t>(kDataFieldsSize + n));
        std::uint8_t b[kDataFieldsSize];
        PutDWord(b, nStart);
        PutDWord(b + 4, nDuration);
        PutWord(b + 8, n);
        PutWord(b + 10, nBaud == kBaudSlow ? kFlagsSlow : kFlagsFast);
        m_sink.Write(b, sizeof b);
        m_sink.Write(bytes.data(), n);
    }

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
};

} // namespace

void ReadKxmRecords(std::span<const std::uint8_t> image, CTapeRecordSink& sink) {
    CReader in(image);
    if (in.Left() < kMagic.size())
        throw CArchiveException(CArchiveException::generic);
    if (!in.TakeMagicIfThere())
        throw CArchiveException(CArchiveException::badFormat);

    for (;;) {
        const std::uint16_t tag = in.Word();
        const std::uint16_t length = in.Word();

        if (tag == kTagEnd) {
            if (!in.TakeMagicIfThere())
                return; // whatever follows the end record is not ours
            sink.OnNextImage();
            continue;
        }

        if (tag == static_cast<std::uint16_t>(TapeGap::outer) ||
            tag == static_cast<std::uint16_t>(TapeGap::inner)) {
            if (length >= kGapBodySize) {
                const std::uint32_t start = in.DWord();
                const std::uint32_t duration = in.DWord();
                in.Take(length - kGapBodySize);
                sink.OnGap(static_cast<TapeGap>(tag), start, duration);
            } else {
                in.Take(length);
            }
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
        const auto bytes = in.Take(count);
        sink.OnData(start, duration, (flags & kFlagFastBit) ? kBaudFast : kBaudSlow, bytes);
        in.Take(rest - count);
    }
}

void ReadKxm(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks) {
    CBlockBuilder builder(blocks);
    ReadKxmRecords(image, builder);
}

void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink) {
    CWriter out(sink);
    sink.Write(kMagic.data(), kMagic.size());
    out.Header(kTagVersion, 2);
    const std::uint8_t version[2] = {kVersion & 0xFF, kVersion >> 8};
    sink.Write(version, sizeof version);
    LayOutBlocks(blocks, out);
    out.Header(kTagEnd, 0);
}
