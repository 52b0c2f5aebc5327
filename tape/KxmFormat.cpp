// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/KxmFormat.h"

#include <algorithm>
#include <string>

#include "res/Strings.h"
#include "tape/Errors.h"

namespace {

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

// The most that is skipped with one read.
constexpr std::size_t kSkipChunk = 64 * 1024;

[[noreturn]] void FailGeneric() {
    throw CArchiveException(CArchiveException::generic);
}

// Reads the image front to back as a stream: every read asks for the bytes
// it needs and fails when fewer come; only the record at hand is held.
class CImageStream {
  public:
    explicit CImageStream(CArchive& ar) : m_ar(ar) {
        if (ar.GetLength() > kMaxImageSize)
            FailGeneric();
    }

    // Reads up to n bytes; how many came.
    std::size_t ReadUpTo(std::uint8_t* p, std::size_t n) {
        const std::size_t nGot = m_ar.Read(p, n);
        m_nRead += nGot;
        if (m_nRead > kMaxImageSize)
            FailGeneric();
        return nGot;
    }
    void Take(std::uint8_t* p, std::size_t n) {
        if (ReadUpTo(p, n) < n)
            FailGeneric();
    }
    std::uint16_t Word() {
        std::uint8_t p[2];
        Take(p, sizeof p);
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    std::uint32_t DWord() {
        std::uint8_t p[4];
        Take(p, sizeof p);
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    // The next n bytes, valid until the next call.
    std::span<const std::uint8_t> Bytes(std::size_t n) {
        m_buffer.resize(n);
        Take(m_buffer.data(), n);
        return m_buffer;
    }
    void Skip(std::size_t n) {
        while (n > 0) {
            const std::size_t nStep = std::min(n, kSkipChunk);
            Bytes(nStep);
            n -= nStep;
        }
    }
    // Whether the next 24 bytes are the magic; reads as many of them as there are.
    bool TakeMagicIfThere(const CTapeImageMagic& magic) {
        CTapeImageMagic p{};
        return ReadUpTo(p.data(), p.size()) == p.size() && p == magic;
    }

  private:
    CArchive& m_ar;
    std::uint64_t m_nRead = 0;
    ByteArray m_buffer;
};

// Writes the records of a time line as they come, and after each block's
// data the records of its marks.
class CWriter final : public CTapeRecordSink {
  public:
    CWriter(CByteSink& sink, const std::vector<CTapeBlock>& blocks,
            std::span<const CDamageMark> marks)
        : m_sink(sink), m_blocks(blocks), m_marks(MarksThatFit(marks, blocks)) {}

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
    void OnBlockLaidOut(std::size_t nBlock) override {
        // The marks are sorted by block: those of this block are next.
        const std::size_t nFirst = m_nNextMark;
        while (m_nNextMark < m_marks.size() && m_marks[m_nNextMark].nBlock == nBlock)
            ++m_nNextMark;
        const std::span<const CDamageMark> these(m_marks.data() + nFirst, m_nNextMark - nFirst);
        for (const ByteArray& body : EncodeDamageMarks(these, m_blocks[nBlock].m_data.size())) {
            Header(kTagDamageMarks, static_cast<std::uint16_t>(body.size()));
            m_sink.Write(body);
        }
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
    const std::vector<CTapeBlock>& m_blocks;
    const CDamageMarks m_marks; // sorted by block and offset
    std::size_t m_nNextMark = 0;
};

// The block-building rule, with the marks of each marks record given to
// the block the records before it went into.
class CMarkedBlockBuilder final : public CTapeRecordSink {
  public:
    CMarkedBlockBuilder(std::vector<CTapeBlock>& blocks, CDamageMarks* pMarks)
        : m_blocks(blocks), m_nFirstBlock(blocks.size()), m_builder(blocks), m_pMarks(pMarks) {}

    void OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                std::span<const std::uint8_t> bytes) override {
        m_builder.OnData(nStart, nDuration, nBaud, bytes);
    }
    void OnNextImage() override { m_builder.OnNextImage(); }
    void OnDamageMarks(std::span<const std::uint8_t> body) override {
        // Marks before the first block of this image mark nothing of it.
        if (m_pMarks != nullptr && m_blocks.size() > m_nFirstBlock)
            DecodeDamageMarks(body, m_blocks.size() - 1, m_blocks.back().m_data.size(), *m_pMarks);
    }

  private:
    std::vector<CTapeBlock>& m_blocks;
    std::size_t m_nFirstBlock;
    CBlockBuilder m_builder;
    CDamageMarks* m_pMarks;
};

} // namespace

void ReadTapeImageRecords(CArchive& ar, const CTapeImageMagic& magic, CTapeRecordSink& sink) {
    CImageStream in(ar);
    CTapeImageMagic head{};
    if (in.ReadUpTo(head.data(), head.size()) < head.size())
        FailGeneric();
    if (head != magic)
        throw CArchiveException(CArchiveException::badFormat);

    for (;;) {
        const std::uint16_t tag = in.Word();
        const std::uint16_t length = in.Word();

        if (tag == kTagEnd) {
            if (!in.TakeMagicIfThere(magic))
                return; // whatever follows the end record is not ours
            sink.OnNextImage();
            continue;
        }

        if (tag == static_cast<std::uint16_t>(TapeGap::outer) ||
            tag == static_cast<std::uint16_t>(TapeGap::inner)) {
            if (length >= kGapBodySize) {
                const std::uint32_t start = in.DWord();
                const std::uint32_t duration = in.DWord();
                in.Skip(length - kGapBodySize);
                sink.OnGap(static_cast<TapeGap>(tag), start, duration);
            } else {
                in.Skip(length);
            }
            continue;
        }

        if (tag == kTagDamageMarks) {
            sink.OnDamageMarks(in.Bytes(length));
            continue;
        }

        if (tag != kTagData) {
            in.Skip(length); // the version, and every tag we do not know
            continue;
        }

        const std::uint32_t start = in.DWord();
        const std::uint32_t duration = in.DWord();
        const std::uint16_t count = in.Word();
        const std::uint16_t flags = in.Word();
        const auto rest = static_cast<std::uint16_t>(length - kDataFieldsSize);
        if (rest < count)
            throw CArchiveException(CArchiveException::badFormat);
        sink.OnData(start, duration, (flags & kFlagFastBit) ? kBaudFast : kBaudSlow,
                    in.Bytes(count));
        in.Skip(rest - count);
    }
}

void ReadTapeImage(CArchive& ar, const CTapeImageMagic& magic, std::vector<CTapeBlock>& blocks,
                   CDamageMarks* pMarks) {
    CMarkedBlockBuilder builder(blocks, pMarks);
    ReadTapeImageRecords(ar, magic, builder);
}

void WriteTapeImage(const std::vector<CTapeBlock>& blocks, const CTapeImageMagic& magic,
                    CByteSink& sink, std::uint64_t nMaxTicks, std::span<const CDamageMark> marks) {
    if (LaidOutTicks(blocks) > nMaxTicks)
        throw CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC,
                                std::string(res::LoadString(res::IDS_TAPE_TOO_LONG)));
    CWriter out(sink, blocks, marks);
    sink.Write(magic.data(), magic.size());
    out.Header(kTagVersion, 2);
    const std::uint8_t version[2] = {kVersion & 0xFF, kVersion >> 8};
    sink.Write(version, sizeof version);
    LayOutBlocks(blocks, out);
    out.Header(kTagEnd, 0);
}

void ReadKxm(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks,
             CDamageMarks* pMarks) {
    CMemoryArchive ar(image);
    ReadTapeImage(ar, kKxmMagic, blocks, pMarks);
}

void ReadKxm(CArchive& ar, std::vector<CTapeBlock>& blocks, CDamageMarks* pMarks) {
    ReadTapeImage(ar, kKxmMagic, blocks, pMarks);
}

void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink) {
    WriteTapeImage(blocks, kKxmMagic, sink);
}

void WriteKxm(const std::vector<CTapeBlock>& blocks, CByteSink& sink,
              std::span<const CDamageMark> marks) {
    WriteTapeImage(blocks, kKxmMagic, sink, kMaxTapeTicks, marks);
}
