// SPDX-License-Identifier: GPL-3.0-or-later
// The KXM reader on any bytes, and the writer on any tape. Built a second
// time with RELMUTH_FUZZ_T88 defined, the same target covers T88 images,
// which share the reader and the writer under their own magic.
//
// Reading may fail only with CArchiveException, and the document reads the
// same. Whatever the reader or the fuzzer's own tape builder produces is
// written and read back: the bytes of all blocks come back the same and in
// order, and each block read back starts where a written block (or the body
// after a written header) starts, with that block's speed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "FuzzCheck.h"
#include "tape/Archive.h"
#include "tape/BlockInfo.h"
#include "tape/Errors.h"
#include "tape/KxmFormat.h"
#include "tape/RelmuthDoc.h"
#include "tape/T88Format.h"

namespace {

#ifdef RELMUTH_FUZZ_T88
constexpr const CTapeImageMagic& kMagic = kT88Magic;
constexpr const char* kDocumentName = "fuzz.t88";
#else
constexpr const CTapeImageMagic& kMagic = kKxmMagic;
constexpr const char* kDocumentName = "fuzz.kxm";
#endif
constexpr std::size_t kMagicSize = kMagic.size();

void Read(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks) {
    CMemoryArchive ar(image);
    ReadTapeImage(ar, kMagic, blocks);
}

constexpr std::size_t kMaxBuiltBlocks = 32;
constexpr std::size_t kChunkSize = 0x8000; // the writer's largest data record
// One chunk edge a tape, and little besides: the writer's splitting and the
// reader's joining are the same at every edge, and a run stays quick.
constexpr std::size_t kMaxBuiltTapeSize = kChunkSize + 512;

int ExpectedBaud(const CTapeBlock& block) {
    return block.IsSlow() ? kBaudSlow : kBaudFast;
}

// Where a block read back may start, with the speed it must then have:
// where a written block starts, or where the body of a written BASIC or
// named machine-code block starts, since the reader joins a header-only
// block with the next data record, be that record the next block's header.
struct CStart {
    std::size_t nOffset;
    int nBaud;
};

std::vector<CStart> AllowedStarts(const std::vector<CTapeBlock>& blocks) {
    std::vector<CStart> starts;
    std::size_t nOffset = 0;
    for (const CTapeBlock& block : blocks) {
        const std::size_t n = block.m_data.size();
        starts.push_back({nOffset, ExpectedBaud(block)});
        const std::size_t nHeader = NamedHeaderSize(block.m_data.data(), n);
        if (nHeader != 0 && nHeader < n)
            starts.push_back({nOffset + nHeader, ExpectedBaud(block)});
        nOffset += n;
    }
    return starts;
}

void CheckWriteThenRead(const std::vector<CTapeBlock>& blocks) {
    ByteArray image;
    CMemoryArchive sink(image);
    WriteTapeImage(blocks, kMagic, sink);

    std::vector<CTapeBlock> back;
    try {
        Read(image, back);
    } catch (const CArchiveException&) {
        FUZZ_CHECK(!"our own image does not read back");
    }
    fuzz::Keep(back);
    FUZZ_CHECK(fuzz::Concatenate(back) == fuzz::Concatenate(blocks));
    FUZZ_CHECK(blocks.empty() == back.empty());

    const std::vector<CStart> starts = AllowedStarts(blocks);
    std::size_t nRead = 0;
    for (const CTapeBlock& block : back) {
        FUZZ_CHECK(std::any_of(starts.begin(), starts.end(), [&](const CStart& start) {
            return start.nOffset == nRead && start.nBaud == block.m_nBaud;
        }));
        nRead += block.m_data.size();
    }
}

// Reads the image directly and through the document; both must agree.
void CheckRead(std::span<const std::uint8_t> image) {
    std::vector<CTapeBlock> blocks;
    bool bFailed = false;
    try {
        Read(image, blocks);
    } catch (const CArchiveException&) {
        bFailed = true;
    }

    CRelmuthDoc doc;
    CMemoryArchive ar(image, kDocumentName);
    bool bDocFailed = false;
    try {
        doc.Serialize(ar);
    } catch (const CArchiveException&) {
        bDocFailed = true;
    }
    FUZZ_CHECK(bFailed == bDocFailed);
    if (bFailed)
        return;
    FUZZ_CHECK(doc.m_blocks == blocks);

    fuzz::Keep(blocks);
    std::size_t nTotal = 0;
    for (const CTapeBlock& block : blocks) {
        FUZZ_CHECK(block.m_nBaud == kBaudSlow || block.m_nBaud == kBaudFast);
        nTotal += block.m_data.size();
    }
    FUZZ_CHECK(nTotal <= image.size()); // the reader invents no bytes
    CheckWriteThenRead(blocks);
}

// A tape built from the fuzzer's bytes, rich in what the writer treats
// apart: headers that go in records of their own, blocks of several chunks,
// empty blocks, speeds other than the two.
std::vector<CTapeBlock> BuildTape(FuzzedDataProvider& in) {
    std::vector<CTapeBlock> blocks;
    std::size_t nTotal = 0;
    while (in.remaining_bytes() > 0 && blocks.size() < kMaxBuiltBlocks) {
        CTapeBlock& block = blocks.emplace_back();
        constexpr std::array<int, 4> kSpeeds{kBaudSlow, kBaudFast, 2400, 0};
        block.m_nBaud = kSpeeds[in.ConsumeIntegralInRange<std::size_t>(0, kSpeeds.size() - 1)];
        switch (in.ConsumeIntegralInRange(0, 4)) {
        case 0: // a BASIC header
            block.m_data.assign(10, 0xD3);
            break;
        case 1: // a named machine-code header
            block.m_data.assign(3, '$');
            break;
        case 2: // a block near a multiple of the 32 KiB chunk: a short pattern repeated
        {
            const auto pattern = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(1, 8));
            const std::size_t nChunks = in.ConsumeIntegralInRange(0, 1);
            const std::size_t nEdge = nChunks * kChunkSize + in.ConsumeIntegralInRange(0, 300);
            const std::size_t nWanted = nEdge >= 2 ? nEdge - 2 : 0; // from 2 below the edge
            const std::size_t n =
                std::min(nWanted, nTotal < kMaxBuiltTapeSize ? kMaxBuiltTapeSize - nTotal : 0);
            block.m_data.resize(pattern.empty() ? 0 : n);
            // The pattern, then what is filled so far, copied after itself.
            std::copy_n(pattern.begin(), std::min(pattern.size(), block.m_data.size()),
                        block.m_data.begin());
            for (std::size_t nFilled = pattern.size(); nFilled < block.m_data.size(); nFilled *= 2)
                std::copy_n(block.m_data.begin(), std::min(nFilled, block.m_data.size() - nFilled),
                            block.m_data.begin() + static_cast<std::ptrdiff_t>(nFilled));
            nTotal += block.m_data.size();
            continue;
        }
        default:
            break;
        }
        const auto tail = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 64));
        block.m_data.insert(block.m_data.end(), tail.begin(), tail.end());
        nTotal += block.m_data.size();
    }
    return blocks;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    CheckRead(input);

    // Most inputs fail at the magic: read them once more behind one.
    if (size < kMagicSize || std::memcmp(data, kMagic.data(), kMagicSize) != 0) {
        ByteArray image(kMagic.begin(), kMagic.end());
        image.insert(image.end(), input.begin(), input.end());
        CheckRead(image);
    }

    FuzzedDataProvider in(data, size);
    const std::vector<CTapeBlock> tape = BuildTape(in);
    fuzz::Keep(tape);
    CheckWriteThenRead(tape);
    return 0;
}
