// SPDX-License-Identifier: GPL-3.0-or-later
// The receive path of the serial port through a pseudo-terminal: how fast
// it can take bytes in (one-byte reads), as a multiple of the fastest line
// the program offers, and what it costs while bytes come at that line's rate.
//
// The far end writes from a thread of its own and keeps its own CPU time;
// the receive path's CPU is the process's time less the far end's: the
// reader thread plus the owner taking the bytes on each notification.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "serial/CommPort.h"

namespace {

// The fastest line the program offers, 19200 baud, in characters a second,
// reckoned at the customary 10 bits a character (a 7N1 character is 9 bits
// long; the difference is within what a real line loses to pauses).
constexpr double kLineRate = 1920.0;

double CpuSeconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double WallSeconds() {
    return CpuSeconds(CLOCK_MONOTONIC);
}

std::vector<std::uint8_t> HexText(std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::vector<std::uint8_t> b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = (i % 34 == 32) ? '\r' : (i % 34 == 33) ? '\n' : kDigits[(i * 7) % 16];
    return b;
}

// The pseudo-terminal, the port on its slave and an owner that takes the
// bytes whenever the port says some arrived, the way the program's view does.
class CReceiveRig {
  public:
    CReceiveRig() {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        m_port.SetReceivedCallback([this] {
            {
                std::lock_guard lock(m_mutex);
                m_bPosted = true;
            }
            m_posted.notify_one();
        });
        if (!m_port.Open(name, BAUD_19200, DATABITS_7, STOPBITS_10, PARITY_NONE, true))
            throw std::runtime_error("open: " + m_port.GetOpenError().strReason);
    }
    ~CReceiveRig() {
        m_port.Close();
        ::close(m_master);
        ::close(m_slave);
    }

    int Master() const { return m_master; }

    // Takes bytes on every notification until `total` have come; returns
    // the CPU time this, the owner's side, used.
    double TakeUntil(std::size_t total) {
        const double cpu0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        std::vector<std::uint8_t> part;
        std::size_t got = 0;
        while (got < total) {
            std::unique_lock lock(m_mutex);
            m_posted.wait(lock, [&] { return m_bPosted; });
            m_bPosted = false;
            lock.unlock();
            m_port.TakeReceived(part);
            got += part.size();
        }
        return CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
    }

  private:
    int m_master = -1;
    int m_slave = -1;
    CCommPort m_port;
    std::mutex m_mutex;
    std::condition_variable m_posted;
    bool m_bPosted = false;
};

void WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            throw std::runtime_error("far end write failed");
        }
    }
}

// Bytes as fast as the far end can write them.
void BM_ReceiveFullSpeed(benchmark::State& state) {
    const auto text = HexText(static_cast<std::size_t>(state.range(0)));
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        CReceiveRig rig;
        double farCpu = 0;
        const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double wall0 = WallSeconds();
        std::thread farEnd([&] {
            const double t0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            WriteAll(rig.Master(), text.data(), text.size());
            farCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0;
        });
        rig.TakeUntil(text.size());
        const double elapsed = WallSeconds() - wall0;
        farEnd.join();
        const double used = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - farCpu;
        state.SetIterationTime(elapsed);
        cpu += used;
        wall += elapsed;
    }
    const double bytes = static_cast<double>(text.size()) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["x_line_rate"] = bytes / wall / kLineRate;
    state.counters["rx_cpu_us_per_byte"] = cpu / bytes * 1e6;
}
BENCHMARK(BM_ReceiveFullSpeed)
    ->Arg(4 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// One byte every 1/1920 s, as on a 19200 baud line with no pause.
void BM_ReceiveAtLineRate(benchmark::State& state) {
    const auto seconds = static_cast<double>(state.range(0));
    const auto count = static_cast<std::size_t>(kLineRate * seconds);
    const auto text = HexText(count);
    double cpuShare = 0;
    for (auto _ : state) {
        CReceiveRig rig;
        double farCpu = 0;
        const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double wall0 = WallSeconds();
        std::thread farEnd([&] {
            const double t0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            timespec next{};
            clock_gettime(CLOCK_MONOTONIC, &next);
            const long stepNs = static_cast<long>(1e9 / kLineRate);
            for (std::size_t i = 0; i < count; ++i) {
                WriteAll(rig.Master(), &text[i], 1);
                next.tv_nsec += stepNs;
                if (next.tv_nsec >= 1'000'000'000L) {
                    next.tv_nsec -= 1'000'000'000L;
                    ++next.tv_sec;
                }
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            }
            farCpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - t0;
        });
        const double ownerCpu = rig.TakeUntil(count);
        const double elapsed = WallSeconds() - wall0;
        farEnd.join();
        const double used = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0 - farCpu;
        state.SetIterationTime(elapsed);
        cpuShare = used / elapsed;
        state.counters["owner_cpu_percent_of_core"] = ownerCpu / elapsed * 100.0;
        state.counters["chars_per_s"] = static_cast<double>(count) / elapsed;
    }
    state.counters["rx_cpu_percent_of_core"] = cpuShare * 100.0;
}
BENCHMARK(BM_ReceiveAtLineRate)
    ->Arg(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();
