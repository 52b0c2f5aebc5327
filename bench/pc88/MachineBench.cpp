// SPDX-License-Identifier: GPL-3.0-or-later
// How much faster than a real 4 MHz PC-8801 the virtual one runs in its plain
// mode, with nothing holding it back (the --fast of relmuth-pc88): Grebe's
// routine reading a 32 KiB block from the cassette at 1200 baud, and sending
// it as transfer lines at 9600 baud. The counter "times_real" is machine
// time over host time.
#include <benchmark/benchmark.h>

#include <chrono>

#include "loader/RoutineSymbols.h"
#include "pc88/Pc8801.h"

namespace {

constexpr std::size_t kBlockSize = 32 * 1024;
constexpr std::uint16_t kModeRaw1200 = 3; // "1200-Ex": takes the block whatever its header

std::vector<std::uint8_t> Block() {
    std::vector<std::uint8_t> block(kBlockSize);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(1 + (i * 7 + (i >> 8)) % 0xFD);
    return block;
}

// The line's far end takes every byte at once.
class CSwiftFarEnd final : public pc88::CPc8801Outside {
  public:
    void OnTick(std::uint64_t) override {}
    std::uint64_t Idle(std::uint64_t, unsigned) override { return 1; }
    std::size_t LineReceive(std::span<std::uint8_t>) override { return 0; }
    std::size_t LineSend(std::span<const std::uint8_t> bytes) override {
        sent += bytes.size();
        return bytes.size();
    }
    std::size_t sent = 0;
};

void ReportTimesReal(benchmark::State& state, std::uint64_t tstates, double seconds) {
    const double machineSeconds = static_cast<double>(tstates) / pc88::kClockHz;
    state.counters["machine_s"] =
        benchmark::Counter(machineSeconds, benchmark::Counter::kAvgIterations);
    state.counters["times_real"] = machineSeconds / seconds;
}

void BM_ReadBlock1200(benchmark::State& state) {
    const std::vector<std::uint8_t> block = Block();
    std::uint64_t tstates = 0;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        pc88::CPc8801 machine;
        machine.LoadRoutine(routine::kOrigin, routine::kImage);
        machine.TapeGap(0.5);
        machine.TapeBytes(block, 1200);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        const std::int16_t count = machine.CallUsr(routine::TAPEREAD, kModeRaw1200);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        tstates += machine.Now();
        if (static_cast<std::uint16_t>(count) != kBlockSize)
            state.SkipWithError("the block did not come in whole");
    }
    ReportTimesReal(state, tstates, seconds);
}
BENCHMARK(BM_ReadBlock1200)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SendBlock9600(benchmark::State& state) {
    const std::vector<std::uint8_t> block = Block();
    pc88::CPc8801 machine;
    machine.LoadRoutine(routine::kOrigin, routine::kImage);
    for (std::size_t i = 0; i < block.size(); ++i)
        machine.SetBufferByte(static_cast<std::uint16_t>(i), block[i]);
    machine.SetRamWord(routine::DATALEN, static_cast<std::uint16_t>(block.size()));
    CSwiftFarEnd far;
    machine.SetOutside(&far);
    machine.ComOpen("N71XN");
    std::uint64_t tstates = 0;
    double seconds = 0;
    for (auto _ : state) {
        const std::uint64_t before = machine.Now();
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t offset = 0; offset < block.size(); offset += 16)
            machine.CallUsr(routine::SENDLINE, static_cast<std::int16_t>(offset));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        tstates += machine.Now() - before;
    }
    state.counters["chars"] =
        static_cast<double>(far.sent) / static_cast<double>(state.iterations());
    ReportTimesReal(state, tstates, seconds);
}
BENCHMARK(BM_SendBlock9600)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
