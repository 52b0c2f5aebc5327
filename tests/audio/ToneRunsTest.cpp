// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder's second stage alone: half-periods to runs of one tone, the
// carrier told from its loss, the speed tracked.
#include <gtest/gtest.h>

#include <vector>

#include "audio/ToneRuns.h"

namespace {

constexpr double kMark = 1.0 / 4800, kSpace = 1.0 / 2400;

struct Piece {
    double half; // length of each half-period
    int count;
    double peak;
};

struct Result {
    std::vector<CToneRun> runs;
    double speed;
    std::vector<double> odd; // where odd half-periods began
};

Result Track(const std::vector<Piece>& pieces) {
    CToneRunTracker tracker(44100);
    Result out;
    double t = 0;
    for (const Piece& p : pieces) {
        for (int i = 0; i < p.count; ++i, t += p.half)
            tracker.OnHalfPeriod(
                t, t + p.half, p.peak, [&](const CToneRun& run) { out.runs.push_back(run); },
                [&](double tOdd) { out.odd.push_back(tOdd); });
    }
    tracker.Flush([&](const CToneRun& run) { out.runs.push_back(run); });
    out.speed = tracker.GetSpeed();
    return out;
}

void ExpectRuns(const std::vector<CToneRun>& got,
                const std::vector<std::pair<CarrierTone, double>>& want) {
    ASSERT_EQ(got.size(), want.size());
    double t = 0;
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].tone, want[i].first) << "run " << i;
        EXPECT_NEAR(got[i].t0, t, 1e-9) << "run " << i;
        EXPECT_NEAR(got[i].t1, t + want[i].second, 1e-9) << "run " << i;
        t += want[i].second;
    }
}

// Short half-periods are mark, long ones space; each stretch of one tone
// is one run, the last one passed on at the end.
TEST(ToneRuns, HalfPeriodsOfEachToneMakeOneRunEach) {
    const Result r = Track({{kMark, 40, 0.5}, {kSpace, 6, 0.5}, {kMark, 8, 0.5}, {kSpace, 2, 0.5}});
    ExpectRuns(r.runs, {{CarrierTone::mark, 40 * kMark},
                        {CarrierTone::space, 6 * kSpace},
                        {CarrierTone::mark, 8 * kMark},
                        {CarrierTone::space, 2 * kSpace}});
    EXPECT_NEAR(r.speed, 1.0, 1e-9);
}

// The carrier falling by 30 dB is no carrier, as is a half-period too long
// for either tone; a full-scale click in a quiet carrier is not the level
// the carrier is measured by.
TEST(ToneRuns, LossOfCarrierIsNoneAndAClickDoesNotCountAsTheLevel) {
    const Result loss =
        Track({{kMark, 100, 0.5}, {kMark, 20, 0.015}, {kSpace * 3, 2, 0.5}, {kMark, 10, 0.5}});
    ExpectRuns(loss.runs, {{CarrierTone::mark, 100 * kMark},
                           {CarrierTone::none, 20 * kMark + 6 * kSpace},
                           {CarrierTone::mark, 10 * kMark}});
    const Result click = Track({{kMark, 2, 1.0}, {kMark, 200, 0.04}, {kSpace, 4, 0.04}});
    ExpectRuns(click.runs, {{CarrierTone::mark, 202 * kMark}, {CarrierTone::space, 4 * kSpace}});
}

// A tape running 8 % slow: the speed is learnt inside runs of one tone, and
// the tones stay told apart by it.
TEST(ToneRuns, SpeedIsLearntAndFollowed) {
    std::vector<Piece> pieces;
    for (int i = 0; i < 40; ++i) {
        pieces.push_back({1.08 * kMark, 12, 0.5});
        pieces.push_back({1.08 * kSpace, 4, 0.5});
    }
    const Result r = Track(pieces);
    EXPECT_NEAR(r.speed, 1.08, 0.01);
    ASSERT_EQ(r.runs.size(), 80u);
    for (std::size_t i = 0; i < r.runs.size(); ++i)
        EXPECT_EQ(r.runs[i].tone, i % 2 == 0 ? CarrierTone::mark : CarrierTone::space) << i;
    EXPECT_NEAR(r.runs.back().speed, 1.08, 0.01);
}

// A splice inside a run leaves one half-period a third too long, the next
// one bent a little, and is told where it began, in mark as in space; the
// half-periods the filters bend beside a change of tone, and a stretch
// where noise bends several in a row, are not splices.
TEST(ToneRuns, AHalfPeriodOddInsideItsRunIsASplice) {
    const Result mark =
        Track({{kMark, 20, 0.5}, {1.33 * kMark, 1, 0.5}, {1.18 * kMark, 1, 0.5}, {kMark, 6, 0.5}});
    ASSERT_EQ(mark.odd.size(), 1u);
    EXPECT_NEAR(mark.odd[0], 20 * kMark, 1e-9);
    const Result space = Track(
        {{kMark, 20, 0.5}, {kSpace, 6, 0.5}, {kSpace + 0.4 * kMark, 1, 0.5}, {kSpace, 6, 0.5}});
    ASSERT_EQ(space.odd.size(), 1u);
    EXPECT_NEAR(space.odd[0], 20 * kMark + 6 * kSpace, 1e-9);

    const Result bent = Track({{kMark, 20, 0.5},
                               {1.57 * kMark, 1, 0.5},
                               {kSpace, 8, 0.5},
                               {1.35 * kMark, 1, 0.5},
                               {0.7 * kMark, 1, 0.5},
                               {1.07 * kMark, 1, 0.5},
                               {kMark, 8, 0.5}});
    EXPECT_TRUE(bent.odd.empty());
    const Result noisy = Track({{kMark, 20, 0.5},
                                {1.3 * kMark, 1, 0.5},
                                {0.75 * kMark, 1, 0.5},
                                {1.3 * kMark, 1, 0.5},
                                {0.8 * kMark, 1, 0.5},
                                {kMark, 8, 0.5}});
    EXPECT_TRUE(noisy.odd.empty());
}

} // namespace
