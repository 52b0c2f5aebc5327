// SPDX-License-Identifier: GPL-3.0-or-later
// The second opinion on a bit cell alone: the energy of each tone in the
// samples under it.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "audio/CellTones.h"

namespace {

// A bit cell of each tone at 1200 baud, space then mark, at any phase and
// at a speed 5 % slow, after 10 ms of mark: each cell weighed over its own
// length is its tone by a wide margin, at the lowest rate the decoder
// takes (a cell of 7 samples) as at 48 kHz, also when the cell's edges
// fall between samples.
TEST(CellTones, EachCellIsItsToneAtAnyRateAndPhase) {
    const double tb = 1.05 / 1200;
    for (const double rate : {8000.0, 11025.0, 44100.0, 48000.0}) {
        for (const double phase : {0.0, 1.0, 2.5}) {
            CCellTones tones(rate);
            const double tSpace = 0.01, tMark = tSpace + tb, tEnd = tMark + tb;
            for (int n = 0; n < static_cast<int>((tEnd + 0.01) * rate); ++n) {
                const double t = n / rate;
                const double hz = (t >= tSpace && t < tMark ? 1200.0 : 2400.0) / 1.05;
                tones.Push(0.4 * std::sin(2 * std::numbers::pi * hz * t + phase));
            }
            double space = 0, mark = 0;
            ASSERT_TRUE(tones.MarkShare(tSpace, tMark, 2, 1, space));
            ASSERT_TRUE(tones.MarkShare(tMark, tEnd, 2, 1, mark));
            EXPECT_LT(space, -0.6) << rate << " " << phase;
            EXPECT_GT(mark, 0.6) << rate << " " << phase;
        }
    }
}

// No opinion on samples not yet taken, on samples a second old (no longer
// kept), on a cell too short to hold a cycle, or on silence.
TEST(CellTones, NoOpinionWithoutTheSamples) {
    CCellTones tones(8000);
    double share = 0;
    EXPECT_FALSE(tones.MarkShare(0.0, 0.001, 2, 1, share)); // nothing taken yet
    for (int n = 0; n < 8000 * 3; ++n)
        tones.Push(n < 8000 * 29 / 10 ? std::sin(n * 0.3) : 0.0);
    EXPECT_FALSE(tones.MarkShare(0.5, 0.501, 2, 1, share));     // long gone
    EXPECT_FALSE(tones.MarkShare(2.9995, 3.0005, 2, 1, share)); // past the last sample
    EXPECT_FALSE(tones.MarkShare(2.85, 2.8502, 2, 1, share));   // under 3 samples
    EXPECT_FALSE(tones.MarkShare(2.95, 2.951, 2, 1, share));    // silence
    EXPECT_TRUE(tones.MarkShare(2.85, 2.851, 2, 1, share));
}

} // namespace
