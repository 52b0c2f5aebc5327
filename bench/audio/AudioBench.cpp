// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding speed of cassette recordings, in times real time (seconds of
// recording per second of processor), and the writer's speed.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Signals.h"
#include "audio/SoundFile.h"
#include "tape/Archive.h"

namespace {

constexpr int kRate = 44100;

// About a minute of tape: a 2 KiB block at 1200 baud, a 1 KiB block at
// 600 baud, with the writer's gaps, and noise at 20 dB.
std::vector<CTapeBlock> Tape() {
    CTapeBlock fast, slow;
    for (int i = 0; i < 2048; ++i)
        fast.m_data.push_back(static_cast<std::uint8_t>(i * 7 + (i >> 8)));
    for (int i = 0; i < 1024; ++i)
        slow.m_data.push_back(static_cast<std::uint8_t>(i * 13 + 1));
    fast.m_nBaud = kBaudFast;
    slow.m_nBaud = kBaudSlow;
    return {fast, slow};
}

const signals::Samples& Mono() {
    static const signals::Samples x = [] {
        signals::Samples s =
            signals::Write([](CTapeRecordSink& sink) { LayOutBlocks(Tape(), sink); }, kRate);
        signals::AddNoise(s, 20);
        return s;
    }();
    return x;
}

void Decode(benchmark::State& state, const signals::Samples& x, int channels) {
    const double seconds = double(x.size()) / channels / kRate;
    for (auto _ : state) {
        std::vector<CTapeBlock> blocks;
        const auto damage = signals::Decode(x, kRate, blocks, channels);
        if (blocks != Tape() || !damage.empty())
            state.SkipWithError("the tape did not decode");
        benchmark::DoNotOptimize(blocks);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(seconds * double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeMono(benchmark::State& state) {
    Decode(state, Mono(), 1);
}
BENCHMARK(BM_DecodeMono)->Unit(benchmark::kMillisecond);

// Stereo without --channel: both channels are decoded, the better kept.
void BM_DecodeStereo(benchmark::State& state) {
    static const signals::Samples stereo = [] {
        signals::Samples s;
        for (float v : Mono()) {
            s.push_back(v);
            s.push_back(0.5f * v);
        }
        return s;
    }();
    Decode(state, stereo, 2);
}
BENCHMARK(BM_DecodeStereo)->Unit(benchmark::kMillisecond);

// The whole road from a 16-bit WAV file: libsndfile's reading included.
void BM_ReadRecordingFile(benchmark::State& state) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("relmuth-bench-" + std::to_string(::getpid()) + ".wav"))
                                 .string();
    {
        ByteArray file;
        CMemoryArchive ar(file);
        WriteRecording(Tape(), ar);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(file.data()),
                   static_cast<std::streamsize>(file.size()));
    }
    const double seconds = double(CSoundFileReader::OpenFile(path)->GetFrames()) / kRate;
    for (auto _ : state) {
        std::vector<CTapeBlock> blocks;
        const auto damage = ReadRecording(path, {}, blocks);
        if (blocks != Tape() || !damage.empty())
            state.SkipWithError("the tape did not decode");
    }
    state.counters["x_realtime"] =
        benchmark::Counter(seconds * double(state.iterations()), benchmark::Counter::kIsRate);
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReadRecordingFile)->Unit(benchmark::kMillisecond);

void BM_WriteRecording(benchmark::State& state) {
    double seconds = 0;
    for (auto _ : state) {
        ByteArray file;
        CMemoryArchive ar(file);
        WriteRecording(Tape(), ar);
        seconds = double(file.size() - 44) / 2 / kRate;
        benchmark::DoNotOptimize(file);
    }
    state.counters["x_realtime"] =
        benchmark::Counter(seconds * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteRecording)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
