// SPDX-License-Identifier: GPL-3.0-or-later
// Cassette signals for the tests: made by our writer or by a generator of
// the tests' own, and spoiled the ways real recordings are, all in memory.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "audio/CassetteEncoder.h"
#include "audio/Recording.h"
#include "audio/WaveWriter.h"
#include "tape/Archive.h"
#include "tape/TapeRecords.h"

namespace signals {

using Samples = std::vector<float>;

class CCollect final : public CSampleSink {
  public:
    explicit CCollect(Samples& out) : m_out(out) {}
    void WriteSamples(const float* p, std::size_t n) override {
        m_out.insert(m_out.end(), p, p + n);
    }

  private:
    Samples& m_out;
};

// Our writer's signal for a time line.
inline Samples Write(const std::function<void(CTapeRecordSink&)>& walk, int rate,
                     std::uint32_t nMinLeader = CCassetteEncoder::kMinLeaderTicks) {
    Samples out;
    CCollect sink(out);
    CCassetteEncoder encoder(rate, sink, nMinLeader);
    walk(encoder);
    encoder.Flush();
    return out;
}

// ... for blocks as the KXM writer lays them out, with short leaders.
inline Samples Write(const std::vector<CTapeBlock>& blocks, int rate = 44100) {
    return Write([&](CTapeRecordSink& s) { LayOutBlocks(blocks, s); }, rate, 2400);
}

// The tests' own generator, apart from the writer: one oscillator whose
// frequency follows the bits (phase-continuous frequency shift keying), a
// cosine from an odd starting phase, so that no bit starts at a zero.
inline Samples Synthesize(const std::vector<std::pair<int, std::vector<std::uint8_t>>>& blocks,
                          int rate, double amplitude = 0.5) {
    Samples out;
    double phase = 1.1;
    double t = 0;
    std::size_t n = 0;
    auto tone = [&](double hz, double seconds) {
        t += seconds;
        for (; static_cast<double>(n) / rate < t; ++n) {
            out.push_back(static_cast<float>(amplitude * std::cos(phase)));
            phase += 2 * std::numbers::pi * hz / rate;
        }
    };
    auto silence = [&](double seconds) {
        t += seconds;
        for (; static_cast<double>(n) / rate < t; ++n)
            out.push_back(0.0f);
    };
    for (const auto& [baud, bytes] : blocks) {
        silence(0.3);
        tone(2400, 0.4);
        for (std::uint8_t b : bytes) {
            int bits[11] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
            for (int i = 0; i < 8; ++i)
                bits[1 + i] = (b >> i) & 1;
            for (int bit : bits)
                tone(bit ? 2400 : 1200, 1.0 / baud);
        }
        tone(2400, 0.2);
    }
    silence(0.3);
    return out;
}

// A piece of the tests' own generator's time line: silence, a steady tone
// of mark or space, or bytes at a speed.
struct Piece {
    enum Kind { silence, mark, space, bytes } kind;
    double seconds = 0; // silence and tones
    int baud = 1200;
    std::vector<std::uint8_t> data = {};
};

// The same oscillator as Synthesize over any pieces: a tape with steady
// space tone between blocks, as other tools render a tape image's spaces.
inline Samples SynthesizePieces(const std::vector<Piece>& pieces, int rate,
                                double amplitude = 0.5) {
    Samples out;
    double phase = 1.1, t = 0;
    std::size_t n = 0;
    auto tone = [&](double hz, double seconds) {
        t += seconds;
        for (; static_cast<double>(n) / rate < t; ++n) {
            out.push_back(hz == 0 ? 0.0f : static_cast<float>(amplitude * std::cos(phase)));
            phase += 2 * std::numbers::pi * hz / rate;
        }
    };
    for (const Piece& p : pieces) {
        if (p.kind != Piece::bytes) {
            tone(p.kind == Piece::silence ? 0 : p.kind == Piece::mark ? 2400 : 1200, p.seconds);
            continue;
        }
        for (std::uint8_t b : p.data) {
            const unsigned frame = (unsigned(b) << 1) | (0x3u << 9);
            for (int i = 0; i < 11; ++i)
                tone((frame >> i) & 1 ? 2400 : 1200, 1.0 / p.baud);
        }
    }
    return out;
}

// Spoilers for what decks, cables and files do.
// The stretch [t0, t0 + seconds) taken out, as a splice or a skip does.
inline Samples Cut(const Samples& x, double t0, double seconds, int rate = 44100) {
    const auto a = std::min(x.size(), static_cast<std::size_t>(t0 * rate));
    const auto b = std::min(x.size(), a + static_cast<std::size_t>(seconds * rate));
    Samples y(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(a));
    y.insert(y.end(), x.begin() + static_cast<std::ptrdiff_t>(b), x.end());
    return y;
}

// The level times gain over [t0, t1).
inline void Gain(Samples& x, double t0, double t1, double gain, int rate = 44100) {
    for (std::size_t i = static_cast<std::size_t>(std::max(0.0, t0 * rate));
         i < x.size() && static_cast<double>(i) < t1 * rate; ++i)
        x[i] = static_cast<float>(x[i] * gain);
}

// A one-pole low-pass at hz: worn heads, an azimuth error.
inline void LowPass(Samples& x, double hz, int rate = 44100) {
    const double a = std::exp(-2 * std::numbers::pi * hz / rate);
    double y = 0;
    for (float& v : x)
        v = static_cast<float>(y = (1 - a) * v + a * y);
}

// Two second-order all-pass sections at hz: the phase of the tones turned
// about as cheap equipment turns it, their level kept.
inline void AllPass(Samples& x, double hz, double q, int rate = 44100) {
    const double w = 2 * std::numbers::pi * hz / rate, alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha, b0 = (1 - alpha) / a0, b1 = -2 * std::cos(w) / a0, b2 = 1;
    for (int pass = 0; pass < 2; ++pass) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (float& v : x) {
            const double y = b0 * v + b1 * x1 + b2 * x2 - b1 * y1 - b0 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = y;
            v = static_cast<float>(y);
        }
    }
}

// White Gaussian noise at snrDb below the power of the signal where the
// signal is (silence does not count).
inline void AddNoise(Samples& x, double snrDb, unsigned seed = 1) {
    double power = 0;
    std::size_t count = 0;
    for (float v : x) {
        if (v != 0.0f) {
            power += double(v) * v;
            ++count;
        }
    }
    const double sigma = std::sqrt(power / double(count) / std::pow(10.0, snrDb / 10.0));
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (float& v : x)
        v = static_cast<float>(v + noise(random));
}

// The tape played at speed times its speed, the speed wobbling by depth
// (a share) at wobbleHz; linear interpolation.
inline Samples ChangeSpeed(const Samples& x, double speed, double depth = 0, double wobbleHz = 0,
                           int rate = 44100) {
    Samples y;
    double pos = 0;
    for (std::size_t n = 0; pos + 1 < double(x.size()); ++n) {
        const auto i = static_cast<std::size_t>(pos);
        const double f = pos - double(i);
        y.push_back(static_cast<float>((1 - f) * x[i] + f * x[i + 1]));
        pos += speed * (1 + depth * std::sin(2 * std::numbers::pi * wobbleHz * double(n) / rate));
    }
    return y;
}

inline void Map(Samples& x, const std::function<float(float, std::size_t)>& f) {
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = f(x[i], i);
}

// The samples as a 16-bit mono WAV file, as our writer writes one.
inline ByteArray WaveFile(const Samples& x, int rate = 44100) {
    ByteArray file;
    CMemoryArchive out(file);
    CWaveWriter writer(out, rate, x.size());
    writer.Write(x.data(), x.size());
    writer.Finish();
    return file;
}

// A stretch of the signal silent, as a dropout of a cell or two makes it.
inline void Silence(Samples& x, double t0, double seconds, int rate = 44100) {
    const auto a = std::min(x.size(), static_cast<std::size_t>(t0 * rate));
    const auto b = std::min(x.size(), static_cast<std::size_t>((t0 + seconds) * rate));
    std::fill(x.begin() + static_cast<std::ptrdiff_t>(a),
              x.begin() + static_cast<std::ptrdiff_t>(b), 0.0f);
}

// Decodes samples in memory (interleaved when channels > 1).
inline std::vector<CDamagedByte> Decode(const Samples& x, double rate,
                                        std::vector<CTapeBlock>& blocks, int channels = 1,
                                        const CRecordingOptions& options = {}) {
    CRecordingDecoder decoder(rate, channels, options);
    // In pieces, as a file would come.
    const std::size_t piece = 5000 * static_cast<std::size_t>(channels);
    for (std::size_t i = 0; i < x.size(); i += piece)
        decoder.Feed(x.data() + i,
                     std::min(piece, x.size() - i) / static_cast<std::size_t>(channels));
    return decoder.Finish(blocks);
}

} // namespace signals
