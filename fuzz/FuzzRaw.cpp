// SPDX-License-Identifier: GPL-3.0-or-later
// The raw scanner on any bytes: the blocks it finds partition the image
// (every byte in exactly one block, in order, no block empty), all of them
// at 600 baud; writing them gives the image back, and the document reading
// a ".CAS" file finds the same blocks.
#include <algorithm>
#include <span>

#include "FuzzCheck.h"
#include "tape/Archive.h"
#include "tape/RawFormat.h"
#include "tape/RelmuthDoc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);

    std::vector<CTapeBlock> blocks;
    ReadRaw(image, blocks); // throws nothing: every input is a raw image
    fuzz::Keep(blocks);

    std::size_t nOffset = 0;
    for (const CTapeBlock& block : blocks) {
        FUZZ_CHECK(!block.m_data.empty());
        FUZZ_CHECK(block.m_nBaud == kBaudSlow);
        FUZZ_CHECK(nOffset + block.m_data.size() <= size);
        FUZZ_CHECK(std::equal(block.m_data.begin(), block.m_data.end(), data + nOffset));
        nOffset += block.m_data.size();
    }
    FUZZ_CHECK(nOffset == size);

    ByteArray written;
    CMemoryArchive sink(written);
    WriteRaw(blocks, sink);
    FUZZ_CHECK(written.size() == size && std::equal(written.begin(), written.end(), data));

    CRelmuthDoc doc;
    CMemoryArchive ar(image, "FUZZ.CAS");
    doc.Serialize(ar);
    FUZZ_CHECK(doc.m_blocks == blocks);
    return 0;
}
