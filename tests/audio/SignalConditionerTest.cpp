// SPDX-License-Identifier: GPL-3.0-or-later
// The decoder's first stage alone: samples to half-periods of the carrier.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "audio/SignalConditioner.h"

namespace {

struct Half {
    double t0, t1, peak;
};

struct Output {
    std::vector<Half> halves;
    std::vector<double> bad;
};

Output Condition(const std::vector<float>& x, double rate = 44100) {
    CSignalConditioner conditioner(rate);
    Output out;
    // In two pieces, as a file comes in chunks.
    const std::size_t half = x.size() / 2;
    for (const auto& [from, n] : {std::pair{std::size_t{0}, half}, {half, x.size() - half}})
        conditioner.Feed(
            x.data() + from, n, 1,
            [&](double t0, double t1, double peak) {
                out.halves.push_back({t0, t1, peak});
            },
            [&](double t) { out.bad.push_back(t); });
    EXPECT_EQ(conditioner.GetSampleCount(), x.size());
    return out;
}

std::vector<float> Tone(double hz, double seconds, double amplitude = 0.5, double offset = 0,
                        double rate = 44100) {
    std::vector<float> x;
    for (std::size_t n = 0; n < static_cast<std::size_t>(seconds * rate); ++n)
        x.push_back(static_cast<float>(
            offset + amplitude * std::sin(2 * std::numbers::pi * hz * double(n) / rate + 0.3)));
    return x;
}

// The half-periods after the filters have settled, from 50 ms on.
std::vector<double> Lengths(const Output& out) {
    std::vector<double> lengths;
    for (const Half& h : out.halves)
        if (h.t0 > 0.05)
            lengths.push_back(h.t1 - h.t0);
    return lengths;
}

// Each tone gives half-periods of its own length on average, at any rate
// the decoder takes; DC offset and polarity change nothing. At 8 kHz a
// half-period of the high tone is 1.7 samples, and single ones stray by up
// to a quarter (well inside the decoder's threshold between the tones, a
// factor of 1.41).
TEST(SignalConditioner, ToneGivesHalfPeriodsOfItsLengthWhateverOffsetAndPolarity) {
    for (const double rate : {8000.0, 44100.0, 96000.0}) {
        for (const double hz : {1200.0, 2400.0}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, tone " << hz);
            const double stray = rate < 10000 ? 0.25 : 0.03;
            for (const auto& [amplitude, offset] : {std::pair{0.5, 0.0}, {-0.3, 0.6}}) {
                const auto lengths =
                    Lengths(Condition(Tone(hz, 0.3, amplitude, offset, rate), rate));
                ASSERT_NEAR(double(lengths.size()), 0.25 * 2 * hz, 2);
                double sum = 0;
                for (const double length : lengths) {
                    EXPECT_NEAR(length, 0.5 / hz, stray * 0.5 / hz);
                    sum += length;
                }
                EXPECT_NEAR(sum / double(lengths.size()), 0.5 / hz, 0.005 / hz);
            }
        }
    }
}

// A sample that is no number is told with its time; the filters stay
// finite and the half-periods go on as before.
TEST(SignalConditioner, NonFiniteSampleIsToldAndLeavesTheFiltersWhole) {
    std::vector<float> x = Tone(2400, 0.5);
    const Output clean = Condition(x);
    x[4410] = std::numeric_limits<float>::quiet_NaN();
    x[13230] = -std::numeric_limits<float>::infinity();
    const Output out = Condition(x);
    EXPECT_EQ(out.bad, (std::vector<double>{4410 / 44100.0, 13230 / 44100.0}));
    ASSERT_NEAR(double(out.halves.size()), double(clean.halves.size()), 4);
    for (const Half& h : out.halves) {
        EXPECT_TRUE(std::isfinite(h.peak));
        EXPECT_GT(h.t1, h.t0);
    }
    EXPECT_NEAR(out.halves.back().t1, clean.halves.back().t1, 1e-9);
}

// A carrier fading by 40 dB is followed to its end, and its peaks fall
// with it.
TEST(SignalConditioner, FadingCarrierIsFollowed) {
    std::vector<float> x = Tone(1200, 1.0);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] *= static_cast<float>(std::pow(10.0, -2.0 * double(i) / double(x.size())));
    const Output out = Condition(x);
    ASSERT_FALSE(out.halves.empty());
    EXPECT_GT(out.halves.back().t1, 0.99);
    EXPECT_NEAR(double(out.halves.size()), 2400.0, 10.0);
    EXPECT_LT(out.halves.back().peak, 0.01);
}

// The band-passed samples are kept for the cells' second opinion, and
// while a half-period is told the samples up to its end can be weighed
// already: the framer decides bytes from inside that call.
TEST(SignalConditioner, BandPassedSamplesCanBeWeighedAsEachHalfPeriodIsTold) {
    std::vector<float> x = Tone(2400, 0.2);
    const std::vector<float> space = Tone(1200, 0.1);
    x.insert(x.end(), space.begin(), space.end());
    CSignalConditioner conditioner(44100);
    CCellTones tones(44100);
    conditioner.SetCellTones(&tones);
    int nMark = 0, nSpace = 0, nOther = 0;
    conditioner.Feed(
        x.data(), x.size(), 1,
        [&](double, double t1, double) {
            double share = 0;
            if (t1 < 0.05 || (t1 > 0.19 && t1 < 0.21))
                return; // the filters settling
            if (!tones.MarkShare(t1 - 1.0 / 1200, t1, 2, 1, share))
                ++nOther;
            else
                ++(share > 0.6 ? nMark : share < -0.6 ? nSpace : nOther);
        },
        [](double) {});
    EXPECT_EQ(tones.GetSampleRate(), 44100);
    EXPECT_NEAR(nMark, 0.14 * 4800, 4);
    EXPECT_NEAR(nSpace, 0.09 * 2400, 4);
    EXPECT_EQ(nOther, 0);
}

} // namespace
