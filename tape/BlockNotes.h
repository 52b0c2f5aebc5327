// SPDX-License-Identifier: GPL-3.0-or-later
// What the program knows of a block beside its bytes and its damage marks:
// how clearly the decoder read each byte, and the recording the block was
// read from. The document keeps a note for every block and moves it with
// its block through every edit, as it does the block's marks; a block
// typed in, pasted or received carries an empty note.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The recording a block was read from, as the layer that decodes
// recordings knows it (its name, how it was decoded, what it found there);
// the tape keeps it without looking inside.
class CBlockSource {
  public:
    virtual ~CBlockSource() = default;
};

struct CBlockNote {
    // Each byte's confidence as the decoder read it: 0 for a damaged byte,
    // else 1 (barely) to 255 (beyond doubt); empty for a block that was not
    // decoded from a recording.
    std::vector<std::uint8_t> confidence;
    std::shared_ptr<const CBlockSource> pSource;
    friend bool operator==(const CBlockNote&, const CBlockNote&) = default;
};

// How clearly a decoded block was read, 0 to 1: the mean over its bytes and
// the least clear byte's.
struct CReadScore {
    double dMean;
    double dWeakest;
    friend bool operator==(const CReadScore&, const CReadScore&) = default;
};

// The note's score; none for a block that was not decoded.
std::optional<CReadScore> ScoreOf(const CBlockNote& note);
