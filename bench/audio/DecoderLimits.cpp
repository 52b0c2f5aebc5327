// SPDX-License-Identifier: GPL-3.0-or-later
// Where the decoder starts to fail: a tape (three blocks at both speeds)
// from our writer, spoiled more and more by noise, speed error, wow,
// flutter and dropouts. For every level it prints how many of the tries
// came out clean (exactly the blocks, nothing reported), reported (bytes
// reported, every other byte right, the blocks as written) and silent (a
// wrong byte or block that nothing reported).
#include <cstdio>
#include <cstdlib>
#include <set>

#include "Signals.h"

using namespace signals;

namespace {

constexpr int kRate = 44100;

std::vector<CTapeBlock> Tape() {
    ByteArray basic(10, 0xD3);
    for (char c : std::string("HELLO "))
        basic.push_back(static_cast<std::uint8_t>(c));
    for (int i = 0; i < 200; ++i)
        basic.push_back(static_cast<std::uint8_t>(i * 37 + 11));
    ByteArray machine;
    for (int i = 0; i < 100; ++i)
        machine.push_back(static_cast<std::uint8_t>(i % 3 == 0 ? 0x3A : i % 3 == 1 ? 0x9C : i * 5));
    ByteArray data(6, 0x9C);
    for (int i = 0; i < 100; ++i)
        data.push_back(static_cast<std::uint8_t>(i));
    return {{basic, kBaudFast}, {machine, kBaudSlow}, {data, kBaudFast}};
}

enum Outcome { clean, reported, silent };

Outcome Judge(const std::vector<CTapeBlock>& got, const std::vector<CDamagedByte>& damage) {
    const auto want = Tape();
    const bool bWhy = std::getenv("WHY") != nullptr;
    if (bWhy && std::getenv("ALL"))
        for (const CDamagedByte& d : damage)
            std::printf("    %zu %zu %.4f %d\n", d.nBlock, d.nOffset, d.dSeconds, int(d.fault));
    if (got.size() != want.size()) {
        if (bWhy)
            std::printf("  %zu blocks\n", got.size());
        return silent;
    }
    std::set<std::pair<std::size_t, std::size_t>> marked;
    for (const CDamagedByte& d : damage)
        marked.insert({d.nBlock, d.nOffset});
    for (std::size_t b = 0; b < want.size(); ++b) {
        if (got[b].m_nBaud != want[b].m_nBaud || got[b].m_data.size() != want[b].m_data.size()) {
            if (bWhy)
                std::printf("  block %zu: baud %d size %zu\n", b, got[b].m_nBaud,
                            got[b].m_data.size());
            return silent;
        }
        for (std::size_t i = 0; i < want[b].m_data.size(); ++i) {
            if (got[b].m_data[i] != want[b].m_data[i] && marked.count({b, i}) == 0) {
                if (bWhy)
                    std::printf("  block %zu byte %zu: %02X for %02X\n", b, i, got[b].m_data[i],
                                want[b].m_data[i]);
                return silent;
            }
        }
    }
    if (bWhy && std::getenv("ALL"))
        for (const CDamagedByte& d : damage)
            std::printf("    %zu %zu %.4f %d\n", d.nBlock, d.nOffset, d.dSeconds, int(d.fault));
    return damage.empty() ? clean : reported;
}

void Line(const char* what, double level, const int counts[3]) {
    std::printf("%-22s %8.2f   clean %d  reported %d  silent %d\n", what, level, counts[0],
                counts[1], counts[2]);
}

} // namespace

int main() {
    const Samples tape = Write([](CTapeRecordSink& s) { LayOutBlocks(Tape(), s); }, kRate, 2400);
    constexpr int kTries = 5;

    for (double snr : {20.0, 14.0, 12.0, 10.0, 9.0, 8.0, 7.0, 6.0, 5.0, 4.0, 3.0, 2.0, 0.0}) {
        int counts[3] = {};
        for (int seed = 1; seed <= kTries; ++seed) {
            Samples x = tape;
            AddNoise(x, snr, static_cast<unsigned>(seed));
            std::vector<CTapeBlock> blocks;
            const auto damage = Decode(x, kRate, blocks);
            ++counts[Judge(blocks, damage)];
        }
        Line("noise (dB SNR)", snr, counts);
    }
    for (double percent : {6.0, 8.0, 10.0, 12.0, 14.0, 16.0, 18.0, 20.0, 22.0}) {
        for (double sign : {+1.0, -1.0}) {
            int counts[3] = {};
            std::vector<CTapeBlock> blocks;
            const auto damage = Decode(ChangeSpeed(tape, 1 + sign * percent / 100), kRate, blocks);
            ++counts[Judge(blocks, damage)];
            Line(sign > 0 ? "speed fast (%)" : "speed slow (%)", percent, counts);
        }
    }
    for (double depth : {2.0, 4.0, 6.0, 8.0, 10.0, 12.0}) {
        int counts[3] = {};
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(ChangeSpeed(tape, 1.0, depth / 100, 0.5), kRate, blocks);
        ++counts[Judge(blocks, damage)];
        Line("wow 0.5 Hz (+-%)", depth, counts);
    }
    for (double depth : {0.5, 1.0, 2.0, 3.0, 4.0, 6.0}) {
        int counts[3] = {};
        std::vector<CTapeBlock> blocks;
        const auto damage = Decode(ChangeSpeed(tape, 1.0, depth / 100, 12), kRate, blocks);
        ++counts[Judge(blocks, damage)];
        Line("flutter 12 Hz (+-%)", depth, counts);
    }
    // Dropouts: the signal falls by 40 dB (hiss 30 dB down stays) inside
    // the body of the first block, 1200 baud.
    for (double ms : {0.5, 1.0, 2.0, 5.0, 10.0, 20.0, 50.0, 100.0, 300.0, 600.0, 900.0, 1200.0}) {
        int counts[3] = {};
        for (int at = 0; at < kTries; ++at) {
            Samples x = tape;
            AddNoise(x, 30, static_cast<unsigned>(at + 1));
            const double t0 = 2.0 + 0.1 + 16 * 11 / 1200.0 + 0.3 + at * 0.0213;
            const double t1 = t0 + ms / 1000;
            Map(x, [&](float v, std::size_t i) {
                const double t = double(i) / kRate;
                return t >= t0 && t < t1 ? v * 0.01f : v;
            });
            std::vector<CTapeBlock> blocks;
            const auto damage = Decode(x, kRate, blocks);
            ++counts[Judge(blocks, damage)];
        }
        Line("dropout (ms)", ms, counts);
    }
    return 0;
}
