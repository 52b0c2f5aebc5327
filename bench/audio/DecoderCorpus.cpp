// SPDX-License-Identifier: GPL-3.0-or-later
// A seeded corpus of spoiled recordings, one class for each way real tapes,
// decks, cables and files spoil the signal. Every recording is a tape of
// three blocks (a BASIC program at 1200 baud, a machine-code file at 600, a
// data file at 1200) made by our writer or by the tests' own generator,
// spoiled with the class's seed. For each class it prints how many came out
// exact (the blocks as written, nothing reported), reported (damage named,
// every wrong byte among it) and silent (a wrong byte or block nothing
// names), and how many times real time the decoder ran.
//
// "named" is the bytes named per try, of 498 in the tape.
//
// With MERGE=1 each try is two takes of the tape, spoiled alike with
// seeds of their own (the damage falls elsewhere), decoded and merged: the
// merged tape is judged.
//
//   audio_corpus [TRIES] [CLASS...]      WHY=1 says what made a try silent
#include <sndfile.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "Signals.h"
#include "audio/TakeMerge.h"

using namespace signals;

namespace {

constexpr int kRate = 44100;

// The tape of one try: contents vary with the seed.
std::vector<CTapeBlock> Tape(unsigned seed) {
    std::mt19937 random(seed);
    auto byte = [&] { return static_cast<std::uint8_t>(random() & 0xFF); };
    ByteArray basic(10, 0xD3);
    for (char c : std::string("GAME  "))
        basic.push_back(static_cast<std::uint8_t>(c));
    ByteArray body;
    for (int i = 0; i < 180; ++i)
        body.push_back(i % 9 < 3 ? 0 : byte()); // runs of zeros, as programs have
    body.insert(body.end(), 10, 0x00);
    ByteArray machine;
    for (int i = 0; i < 90; ++i)
        machine.push_back(i % 3 == 0 ? 0x3A : i % 3 == 1 ? 0x9C : byte());
    ByteArray data(6, 0x9C);
    for (int i = 0; i < 100; ++i)
        data.push_back(byte());
    return {{basic, kBaudFast}, {body, kBaudFast}, {machine, kBaudSlow}, {data, kBaudFast}};
}

// The blocks the decoder should find: the header and the body of the BASIC
// program are one block.
std::vector<CTapeBlock> Expected(const std::vector<CTapeBlock>& tape) {
    std::vector<CTapeBlock> want = {tape[0], tape[2], tape[3]};
    want[0].m_data.insert(want[0].m_data.end(), tape[1].m_data.begin(), tape[1].m_data.end());
    return want;
}

Samples Writer(const std::vector<CTapeBlock>& tape, int rate = kRate) {
    return Write(
        [&](CTapeRecordSink& s) {
            std::uint32_t t = 0;
            auto gap = [&](TapeGap kind, std::uint32_t d) {
                s.OnGap(kind, t, d);
                t += d;
            };
            auto data = [&](const CTapeBlock& b) {
                const auto d =
                    static_cast<std::uint32_t>(b.m_data.size() * TicksPerByte(b.m_nBaud));
                s.OnData(t, d, b.m_nBaud, b.m_data);
                t += d;
            };
            for (std::size_t i = 0; i < tape.size(); ++i) {
                if (i != 1) {
                    gap(TapeGap::outer, 4800);
                    gap(TapeGap::inner, 2400);
                } else {
                    gap(TapeGap::inner, 480); // the pause between header and body
                }
                data(tape[i]);
                if (i != 0)
                    gap(TapeGap::inner, 960);
            }
            gap(TapeGap::outer, 2400);
        },
        rate, 2400);
}

// Spaces as steady 1200 Hz tone, the way other tools render a tape image.
Samples ToneGaps(const std::vector<CTapeBlock>& tape, unsigned seed, int rate = kRate) {
    std::vector<Piece> pieces;
    const double space = 0.2 + 0.1 * (seed % 5);
    for (std::size_t i = 0; i < tape.size(); ++i) {
        if (i != 1) {
            pieces.push_back({Piece::space, space});
            pieces.push_back({Piece::mark, 0.4});
        } else {
            pieces.push_back({Piece::mark, 0.1});
        }
        pieces.push_back({Piece::bytes, 0, tape[i].m_nBaud, tape[i].m_data});
        if (i != 0)
            pieces.push_back({Piece::mark, 0.2});
    }
    pieces.push_back({Piece::space, space});
    return SynthesizePieces(pieces, rate);
}

// Where the data of block 0's body and block 2 lie in the writer's signal.
double BodyTime(unsigned seed) {
    return 1.0 + 0.5 + 16 * 11.0 / 1200 + 0.1 + (20 + seed * 13 % 140) * 11.0 / 1200;
}

// A file written by libsndfile in a lossy format and read back as the
// decoder's input would be.
Samples Lossy(const Samples& x, int format) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("relmuth-corpus-" + std::to_string(::getpid())))
            .string();
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = format;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    if (out == nullptr)
        return {};
    double level = 1.0; // lowest quality
    sf_command(out, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    sf_writef_float(out, x.data(), static_cast<sf_count_t>(x.size()));
    sf_close(out);
    SF_INFO in{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &in);
    Samples y(static_cast<std::size_t>(in.frames));
    if (f != nullptr) {
        y.resize(static_cast<std::size_t>(sf_readf_float(f, y.data(), in.frames)));
        sf_close(f);
    }
    std::filesystem::remove(path);
    return y;
}

struct Try {
    Samples x;
    int rate = kRate;
};

struct Class {
    const char* name;
    const char* what;
    std::function<Try(const std::vector<CTapeBlock>&, unsigned)> make;
};

const Class kClasses[] = {
    {"clean", "our writer, nothing spoiled",
     [](const auto& tape, unsigned) { return Try{Writer(tape)}; }},
    {"generator", "the tests' own generator, 48 kHz, noise 30 dB",
     [](const auto& tape, unsigned seed) {
         std::vector<Piece> pieces;
         for (std::size_t i = 0; i < tape.size(); ++i) {
             pieces.push_back({i == 1 ? Piece::mark : Piece::silence, i == 1 ? 0.1 : 0.5});
             if (i != 1)
                 pieces.push_back({Piece::mark, 0.4});
             pieces.push_back({Piece::bytes, 0, tape[i].m_nBaud, tape[i].m_data});
             if (i != 0)
                 pieces.push_back({Piece::mark, 0.2});
         }
         Try t{SynthesizePieces(pieces, 48000), 48000};
         AddNoise(t.x, 30, seed);
         return t;
     }},
    {"tone-gaps", "1200 Hz tone of 0.2-0.6 s between blocks",
     [](const auto& tape, unsigned seed) {
         Try t{ToneGaps(tape, seed)};
         AddNoise(t.x, 30, seed);
         return t;
     }},
    {"cut", "5-60 ms taken out inside a block",
     [](const auto& tape, unsigned seed) {
         return Try{Cut(Writer(tape), BodyTime(seed), 0.005 + 0.011 * (seed % 6))};
     }},
    {"dropout", "signal 30 dB down for 2-200 ms inside a block, noise 30 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         const double t0 = BodyTime(seed);
         const double d[] = {0.002, 0.01, 0.03, 0.08, 0.15, 0.2};
         AddNoise(t.x, 30, seed);
         Gain(t.x, t0, t0 + d[seed % 6], 0.03);
         return t;
     }},
    {"level-dip", "level 6-8 dB down for 150 ms, noise 25 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AddNoise(t.x, 25, seed);
         const double t0 = BodyTime(seed);
         Gain(t.x, t0, t0 + 0.15, std::pow(10.0, -(6.0 + (seed % 3)) / 20));
         return t;
     }},
    {"rate-8k", "8 kHz, 8-bit",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape, 8000), 8000};
         AddNoise(t.x, 30, seed);
         Map(t.x, [](float v, std::size_t) { return std::round(v * 127.0f) / 127.0f; });
         return t;
     }},
    {"rate-11k", "11.025 kHz, noise 25 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape, 11025), 11025};
         AddNoise(t.x, 25, seed);
         return t;
     }},
    {"hum", "50 or 60 Hz buzz with harmonics at the signal's level",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         const double hz = seed % 2 ? 60 : 50;
         Map(t.x, [&](float v, std::size_t i) {
             const double w = 2 * std::numbers::pi * hz * double(i) / kRate;
             return v + static_cast<float>(0.5 * std::sin(w) + 0.15 * std::sin(3 * w + seed) +
                                           0.05 * std::sin(5 * w));
         });
         AddNoise(t.x, 30, seed);
         return t;
     }},
    {"low-pass", "treble 9 dB down at 2.4 kHz (one pole at 900 Hz), noise 25 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         LowPass(t.x, 900);
         AddNoise(t.x, 25, seed);
         return t;
     }},
    {"all-pass", "two all-pass sections (Q 1) at 1.5-2 kHz, noise 30 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AllPass(t.x, 1500 + 100 * (seed % 6), 1.0);
         AddNoise(t.x, 30, seed);
         return t;
     }},
    {"saturation", "driven into tanh saturation (gain 4-20)",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         const double g = 4.0 + 3.2 * (seed % 6);
         Map(t.x, [&](float v, std::size_t) { return static_cast<float>(0.9 * std::tanh(g * v)); });
         AddNoise(t.x, 30, seed);
         return t;
     }},
    {"wow-flutter", "speed -5..+5 %, wow 0.5 Hz 3 %, flutter 10 Hz 0.5 %",
     [](const auto& tape, unsigned seed) {
         const double speed = 0.95 + 0.02 * (seed % 6);
         return Try{ChangeSpeed(ChangeSpeed(Writer(tape), speed, 0.03, 0.5), 1.0, 0.005, 10)};
     }},
    {"mp3", "MP3 at its lowest bit rate (libsndfile)",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AddNoise(t.x, 30, seed);
         t.x = Lossy(t.x, SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III);
         return t;
     }},
    {"ogg", "Ogg Vorbis at its lowest quality (libsndfile)",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AddNoise(t.x, 30, seed);
         t.x = Lossy(t.x, SF_FORMAT_OGG | SF_FORMAT_VORBIS);
         return t;
     }},
    {"deck-steps", "level steps x0.3..x2 and DC steps every 0.7 s, noise 25 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AddNoise(t.x, 25, seed);
         std::mt19937 random(seed);
         std::uniform_real_distribution<double> gain(0.3, 2.0), dc(-0.3, 0.3);
         const auto step = static_cast<std::size_t>(0.7 * kRate);
         for (std::size_t i = 0; i < t.x.size(); i += step) {
             const double g = gain(random), d = dc(random);
             for (std::size_t j = i; j < std::min(t.x.size(), i + step); ++j)
                 t.x[j] = static_cast<float>(std::clamp(g * t.x[j] + d, -1.0, 1.0));
         }
         return t;
     }},
    {"click", "a quiet recording (-26 dB) with a full-scale click at its start",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         Map(t.x, [](float v, std::size_t) { return 0.05f * v; });
         AddNoise(t.x, 30, seed);
         const std::size_t at = 2000 + 1000 * (seed % 5);
         for (std::size_t i = at; i < at + 3; ++i)
             t.x[i] = 1.0f;
         return t;
     }},
    {"non-finite", "a NaN and an Inf sample inside the first block",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AddNoise(t.x, 30, seed);
         const auto at = static_cast<std::size_t>(BodyTime(seed) * kRate);
         t.x[at] = std::numeric_limits<float>::quiet_NaN();
         t.x[at + 777] = std::numeric_limits<float>::infinity();
         return t;
     }},
    {"noise-12dB", "white noise at 12 dB",
     [](const auto& tape, unsigned seed) {
         Try t{Writer(tape)};
         AddNoise(t.x, 12, seed);
         return t;
     }},
};

// One take decoded, with its bytes' confidence.
CTake DecodeTake(const Try& t) {
    CRecordingDecoder decoder(t.rate, 1, {});
    decoder.Feed(t.x.data(), t.x.size());
    std::vector<CTapeBlock> blocks;
    std::vector<CBlockQuality> quality;
    std::vector<CDamagedByte> damage = decoder.Finish(blocks, &quality);
    return TakeFromRecording(std::move(blocks), std::move(damage), quality);
}

// Each block as baud/bytes/named, for WHY.
void PrintBlocks(const std::string& strWhat, const std::vector<CTapeBlock>& blocks,
                 const std::vector<CDamagedByte>& damage) {
    std::printf("    %s:", strWhat.c_str());
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        std::size_t n = 0;
        for (const CDamagedByte& d : damage)
            n += d.nBlock == b ? 1 : 0;
        std::printf(" %d/%zu/%zu", blocks[b].m_nBaud, blocks[b].m_data.size(), n);
    }
    std::printf("\n");
}

enum Outcome { exact, reported, silent };

bool Why() {
    return std::getenv("WHY") != nullptr;
}

// Compares a decoded block with the one written. Bytes up to the first
// place where bytes were said missing or extra compare at their offsets,
// the rest from the end; every byte that differs must be named.
bool BlockNamed(const CTapeBlock& got, const CTapeBlock& want, std::size_t nBlock,
                const std::vector<CDamagedByte>& damage) {
    std::set<std::size_t> named;
    std::size_t nSlip = got.m_data.size();
    for (const CDamagedByte& d : damage) {
        if (d.nBlock != nBlock)
            continue;
        named.insert(d.nOffset);
        if (d.fault == ByteFault::slip)
            nSlip = std::min(nSlip, d.nOffset);
    }
    if (got.m_nBaud != want.m_nBaud) {
        if (Why())
            std::printf("    block %zu at %d baud\n", nBlock, got.m_nBaud);
        return false;
    }
    bool bTailNamed = got.m_data.size() > want.m_data.size();
    for (std::size_t i = want.m_data.size(); bTailNamed && i < got.m_data.size(); ++i)
        bTailNamed = named.count(i) != 0;
    if (got.m_data.size() != want.m_data.size() && nSlip == got.m_data.size() && !bTailNamed) {
        if (Why())
            std::printf("    block %zu: %zu bytes for %zu, nothing said\n", nBlock,
                        got.m_data.size(), want.m_data.size());
        return false;
    }
    const std::size_t nHead = std::min(nSlip, want.m_data.size());
    for (std::size_t i = 0; i < nHead; ++i) {
        if (got.m_data[i] != want.m_data[i] && named.count(i) == 0) {
            if (Why())
                std::printf("    block %zu byte %zu: %02X for %02X\n", nBlock, i, got.m_data[i],
                            want.m_data[i]);
            return false;
        }
    }
    if (nSlip == got.m_data.size())
        return true;
    // After the slip: from the end, up to the next named place.
    for (std::size_t k = 1; k <= got.m_data.size() - nSlip && k <= want.m_data.size(); ++k) {
        const std::size_t i = got.m_data.size() - k;
        if (named.count(i) != 0)
            break;
        if (got.m_data[i] != want.m_data[want.m_data.size() - k]) {
            if (Why())
                std::printf("    block %zu byte %zu (after a slip): %02X for %02X\n", nBlock, i,
                            got.m_data[i], want.m_data[want.m_data.size() - k]);
            return false;
        }
    }
    return true;
}

Outcome Judge(const std::vector<CTapeBlock>& got, const std::vector<CDamagedByte>& damage,
              const std::vector<CTapeBlock>& want) {
    std::vector<std::size_t> kept;
    for (std::size_t b = 0; b < got.size(); ++b)
        kept.push_back(b);
    if (got.size() != want.size()) {
        // A block whose every byte is named is reported, whatever it is.
        std::erase_if(kept, [&](std::size_t b) {
            std::size_t n = 0;
            for (const CDamagedByte& d : damage)
                n += d.nBlock == b;
            return n == got[b].m_data.size() && n != 0;
        });
    }
    if (kept.size() != want.size()) {
        if (Why())
            std::printf("    %zu blocks (%zu not all damaged) for %zu\n", got.size(), kept.size(),
                        want.size());
        return silent;
    }
    for (std::size_t i = 0; i < want.size(); ++i)
        if (!BlockNamed(got[kept[i]], want[i], kept[i], damage))
            return silent;
    return damage.empty() && got.size() == want.size() ? exact : reported;
}

} // namespace

int main(int argc, char** argv) {
    const int nTries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    std::set<std::string> only(argv + std::min(argc, 2), argv + argc);
    const bool bMerge = std::getenv("MERGE") != nullptr;
    std::printf("%-12s %6s %9s %7s %7s %9s   %s\n", "class", "exact", "reported", "silent", "named",
                "x real", "what");
    int totals[3] = {};
    for (const Class& c : kClasses) {
        if (!only.empty() && only.count(c.name) == 0)
            continue;
        int counts[3] = {};
        double seconds = 0, busy = 0;
        std::size_t nNamed = 0;
        for (int i = 1; i <= nTries; ++i) {
            const auto seed = static_cast<unsigned>(i);
            const auto tape = Tape(seed);
            const Try t = c.make(tape, seed);
            const auto start = std::chrono::steady_clock::now();
            std::vector<CTapeBlock> blocks;
            std::vector<CDamagedByte> damage;
            if (bMerge) {
                const CTake takes[] = {DecodeTake(t), DecodeTake(c.make(tape, seed + 1000))};
                CMergeResult merged = MergeTakes(takes);
                if (Why()) {
                    for (std::size_t k = 0; k < 2; ++k)
                        PrintBlocks("take " + std::to_string(k + 1), takes[k].blocks,
                                    takes[k].damage);
                    PrintBlocks("merged", merged.blocks, merged.damage);
                }
                blocks = std::move(merged.blocks);
                damage = std::move(merged.damage);
            } else {
                damage = Decode(t.x, t.rate, blocks);
            }
            busy += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            seconds += double(t.x.size()) / t.rate * (bMerge ? 2 : 1);
            if (Why())
                std::printf("  %s seed %u: %zu blocks, %zu named\n", c.name, seed, blocks.size(),
                            damage.size());
            if (Why() && std::getenv("ALL") != nullptr)
                for (const CDamagedByte& d : damage)
                    std::printf("      %s\n", DescribeDamage(d).c_str());
            nNamed += damage.size();
            const Outcome o = Judge(blocks, damage, Expected(tape));
            ++counts[o];
            ++totals[o];
        }
        std::printf("%-12s %6d %9d %7d %7.1f %9.0f   %s\n", c.name, counts[exact], counts[reported],
                    counts[silent], double(nNamed) / nTries, seconds / busy, c.what);
    }
    std::printf("%-12s %6d %9d %7d\n", "all", totals[exact], totals[reported], totals[silent]);
    return totals[silent] == 0 ? 0 : 1;
}
