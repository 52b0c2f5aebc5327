// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/T88Format.h"

void ReadT88(std::span<const std::uint8_t> image, std::vector<CTapeBlock>& blocks) {
    CMemoryArchive ar(image);
    ReadTapeImage(ar, kT88Magic, blocks);
}

void ReadT88(CArchive& ar, std::vector<CTapeBlock>& blocks) {
    ReadTapeImage(ar, kT88Magic, blocks);
}

void WriteT88(const std::vector<CTapeBlock>& blocks, CByteSink& sink) {
    WriteTapeImage(blocks, kT88Magic, sink);
}
