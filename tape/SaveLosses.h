// SPDX-License-Identifier: GPL-3.0-or-later
// What a save in a given format would lose of a tape, told before the
// save so that the user can go on or choose another format:
//
//   raw image (.cmt .cas)  keeps no speed: every 1200-baud block comes back
//                          at 600; keeps no block boundaries: the reader
//                          finds them again by the headers, and may cut
//                          otherwise (an empty block is gone)
//   KXM, T88               a tape longer than the 32-bit time line is not
//                          written at all; a header on its own joins the
//                          block that follows and gives it its speed
//   T88, raw, recording    no damage marks
//
// A header joined with its body is what every tape image does with them
// (they are one file on the cassette), so that alone is no loss. Losses
// are found by writing the tape in memory and reading it back, so they
// are those of the formats as they are, not as described here.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "tape/DamageMarks.h"
#include "tape/TapeBlock.h"
#include "tape/TapeFormats.h"

struct CSaveLoss {
    enum Kind {
        tooLong,      // the time line does not hold the tape: it cannot be written
        speeds,       // nCount blocks of 1200 baud come back at 600 (raw)
        joinedSpeeds, // nCount blocks take the speed of the header before them
        division,     // nCount blocks come back cut as nAfter blocks
        damageMarks,  // nCount marks have no place in the format
    };
    Kind kind;
    std::size_t nCount = 0;
    std::size_t nAfter = 0;
    friend bool operator==(const CSaveLoss&, const CSaveLoss&) = default;
};

// What saving blocks (with their damage marks) in the format would lose, in
// the order of the kinds above; none when the format keeps all of it.
std::vector<CSaveLoss> FindSaveLosses(const std::vector<CTapeBlock>& blocks,
                                      std::span<const CDamageMark> marks, TapeFormat format);

// The user's text for a loss.
std::string DescribeSaveLoss(const CSaveLoss& loss);

// The texts of every loss of such a save.
std::vector<std::string> DescribeSaveLosses(const std::vector<CTapeBlock>& blocks,
                                            std::span<const CDamageMark> marks, TapeFormat format);
