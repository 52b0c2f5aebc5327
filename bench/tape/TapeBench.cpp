// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the tape formats, the document's open and save, and the
// receiver, on a tape of 64 MiB in blocks of 32 KiB (see BenchTape.h).
// Bytes per second are the tape's bytes, except for the receiver, which
// counts the transfer text it reads (the tape's bytes per second are shown
// beside as tape_bytes_per_second). Rates are per processor second of the
// one thread, except for saving (see there).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "BenchTape.h"
#include "session/ReceiveContext.h"
#include "tape/Archive.h"
#include "tape/BlockText.h"
#include "tape/KxmFormat.h"
#include "tape/RawFormat.h"
#include "tape/RelmuthDoc.h"

namespace {

namespace fs = std::filesystem;

// Built once, on first use, and shared by the benchmarks that read them.
const std::vector<CTapeBlock>& Tape() {
    static const std::vector<CTapeBlock> tape = bench::MakeTape();
    return tape;
}

ByteArray Image(void (*write)(const std::vector<CTapeBlock>&, CByteSink&)) {
    ByteArray image;
    CMemoryArchive sink(image);
    write(Tape(), sink);
    return image;
}

const ByteArray& KxmImage() {
    static const ByteArray image = Image(WriteKxm);
    return image;
}

const ByteArray& RawImage() {
    static const ByteArray image = Image(WriteRaw);
    return image;
}

void SetTapeBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bench::TapeBytes(Tape())));
}

// A sink into memory that keeps its storage from one run to the next, so
// that the writer is measured and not the growth of a vector.
class CReusedSink final : public CByteSink {
  public:
    void Write(const void* pData, std::size_t nCount) override {
        const auto* p = static_cast<const std::uint8_t*>(pData);
        m_bytes.insert(m_bytes.end(), p, p + nCount);
    }
    using CByteSink::Write;
    ByteArray m_bytes;
};

void BM_KxmWrite(benchmark::State& state) {
    const std::vector<CTapeBlock>& tape = Tape();
    CReusedSink sink;
    sink.m_bytes.reserve(KxmImage().size());
    for (auto _ : state) {
        sink.m_bytes.clear();
        WriteKxm(tape, sink);
        benchmark::DoNotOptimize(sink.m_bytes.data());
    }
    SetTapeBytes(state);
}

void BM_KxmRead(benchmark::State& state) {
    const ByteArray& image = KxmImage(); // made before the clock runs
    std::size_t nBlocks = 0;
    for (auto _ : state) {
        std::vector<CTapeBlock> blocks;
        ReadKxm(image, blocks);
        nBlocks = blocks.size();
        benchmark::DoNotOptimize(blocks.data());
    }
    state.counters["blocks"] = static_cast<double>(nBlocks);
    SetTapeBytes(state);
}

void BM_RawWrite(benchmark::State& state) {
    const std::vector<CTapeBlock>& tape = Tape();
    CReusedSink sink;
    sink.m_bytes.reserve(RawImage().size());
    for (auto _ : state) {
        sink.m_bytes.clear();
        WriteRaw(tape, sink);
        benchmark::DoNotOptimize(sink.m_bytes.data());
    }
    SetTapeBytes(state);
}

void BM_RawRead(benchmark::State& state) {
    const ByteArray& image = RawImage();
    std::size_t nBlocks = 0;
    for (auto _ : state) {
        std::vector<CTapeBlock> blocks;
        ReadRaw(image, blocks);
        nBlocks = blocks.size();
        benchmark::DoNotOptimize(blocks.data());
    }
    state.counters["blocks"] = static_cast<double>(nBlocks);
    SetTapeBytes(state);
}

// Headerless bytes: the scanner looks at every byte and cuts a short block
// at each ':' or 'n' it meets, about one in 128 bytes of random data.
void BM_RawReadRandomBytes(benchmark::State& state) {
    ByteArray image(bench::kTapeSize);
    std::uint64_t x = 1;
    for (std::uint8_t& b : image) {
        x = x * 6364136223846793005u + 1442695040888963407u;
        b = static_cast<std::uint8_t>(x >> 56);
    }
    std::size_t nBlocks = 0;
    for (auto _ : state) {
        std::vector<CTapeBlock> blocks;
        ReadRaw(image, blocks);
        nBlocks = blocks.size();
        benchmark::DoNotOptimize(blocks.data());
    }
    state.counters["blocks"] = static_cast<double>(nBlocks);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(image.size()));
}

// The transfer text of the whole tape, in pieces of state.range(0) bytes as
// the serial port hands them over.
void BM_Receive(benchmark::State& state) {
    std::string text;
    text.reserve(bench::TapeBytes(Tape()) * 9 / 4);
    for (const CTapeBlock& block : Tape()) {
        text += "\r\n"; // the loader's empty line before each header
        text += GetBlockText(block);
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t nPiece = static_cast<std::size_t>(state.range(0));

    for (auto _ : state) {
        CRelmuthDoc doc;
        bench::CQuietUi ui;
        CReceiveContext context(doc, ui);
        context.InstallReceiver();
        for (std::size_t i = 0; i < text.size(); i += nPiece)
            context.OnSerialBytes({bytes + i, std::min(nPiece, text.size() - i)});
        state.PauseTiming();
        const bool bWhole = doc.m_blocks == Tape() && ui.m_nMessages == 0;
        state.ResumeTiming();
        if (!bWhole) {
            state.SkipWithError("the tape did not come through");
            return;
        }
        benchmark::DoNotOptimize(doc.m_blocks.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.counters["tape_bytes_per_second"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(bench::TapeBytes(Tape())),
        benchmark::Counter::kIsRate);
}

// A file of the benchmark's own that is removed when it ends.
class CBenchFile {
  public:
    explicit CBenchFile(const char* extension)
        : m_path(fs::temp_directory_path() /
                 ("relmuth-bench-" + std::to_string(::getpid()) + extension)) {}
    ~CBenchFile() {
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    std::string Path() const { return m_path.string(); }

  private:
    fs::path m_path;
};

// Writes the tape through the document into path (format by extension).
bool SaveTape(const std::string& path) {
    CRelmuthDoc doc;
    doc.ReplaceTape(Tape());
    return doc.OnSaveDocument(path);
}

void OpenBenchmark(benchmark::State& state, const char* extension) {
    CBenchFile file(extension);
    if (!SaveTape(file.Path())) {
        state.SkipWithError("cannot write the tape file");
        return;
    }
    for (auto _ : state) {
        CRelmuthDoc doc;
        if (!doc.OnOpenDocument(file.Path()) || doc.m_blocks.empty()) {
            state.SkipWithError("cannot open the tape file");
            return;
        }
        benchmark::DoNotOptimize(doc.m_blocks.data());
    }
    SetTapeBytes(state);
}

void BM_OpenRaw(benchmark::State& state) {
    OpenBenchmark(state, ".cas");
}
void BM_OpenKxm(benchmark::State& state) {
    OpenBenchmark(state, ".kxm");
}

// Save writes a temporary file, flushes it to the disk and renames it: the
// disk's own speed is part of the figure, which is why it is timed by the
// clock on the wall and not by the processor time.
void SaveBenchmark(benchmark::State& state, const char* extension) {
    CBenchFile file(extension);
    CRelmuthDoc doc;
    doc.ReplaceTape(Tape());
    for (auto _ : state) {
        if (!doc.OnSaveDocument(file.Path())) {
            state.SkipWithError("cannot save the tape file");
            return;
        }
    }
    SetTapeBytes(state);
}

void BM_SaveKxm(benchmark::State& state) {
    SaveBenchmark(state, ".kxm");
}
void BM_SaveRaw(benchmark::State& state) {
    SaveBenchmark(state, ".cas");
}

} // namespace

BENCHMARK(BM_KxmRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KxmWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawReadRandomBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Receive)->Arg(4096)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenKxm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveKxm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveRaw)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
