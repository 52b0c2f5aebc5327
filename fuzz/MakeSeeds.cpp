// SPDX-License-Identifier: GPL-3.0-or-later
// Writes small seed corpora for the fuzz targets, made by our own writers:
//
//   fuzz_seeds DIR   ->  DIR/kxm/*, DIR/t88/*, DIR/raw/*, DIR/receiver/*, DIR/inspect/*
//
// Each seed is one tape of a kind the readers treat apart: BASIC program,
// named and plain machine code, data file, empty block, both speeds.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "audio/Recording.h"
#include "inspect/BasicCruncher.h"
#include "tape/Archive.h"
#include "tape/BlockInfo.h"
#include "tape/BlockText.h"
#include "tape/KxmFormat.h"
#include "tape/RawFormat.h"
#include "tape/T88Format.h"

namespace {

namespace fs = std::filesystem;

CTapeBlock Block(ByteArray data, int nBaud = kBaudSlow) {
    CTapeBlock block;
    block.m_data = std::move(data);
    block.m_nBaud = nBaud;
    return block;
}

ByteArray Repeat(std::uint8_t b, std::size_t n) {
    return ByteArray(n, b);
}

ByteArray Join(std::initializer_list<ByteArray> parts) {
    ByteArray all;
    for (const ByteArray& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A ':' machine-code file: load address, then one record and the end record.
ByteArray MachineFile() {
    return {':', 0xC0, 0x00, 0x40, ':', 0x04, 0x01, 0x02, 0x03, 0x04, 0xF6, ':', 0x00, 0x00};
}

std::vector<std::vector<CTapeBlock>> Tapes() {
    const ByteArray name{'G', 'A', 'M', 'E', ' ', ' '};
    const ByteArray basicBody{0x10, 0x80, 0x0A, 0x00, 0x91, 0x20, 0x22, 0x48, 0x49, 0x22, 0x00};
    return {
        {Block({0x3A, 0x00, 0x00})},
        {Block(Join({Repeat(0xD3, 10), name, basicBody, Repeat(0x00, 11)}))},
        {Block(Join({Repeat('$', 3), name})), Block(MachineFile())},
        {Block(Join({Repeat(0x9C, 6), name, {0x01, 0x02}}), kBaudFast)},
        {Block({}), Block({0x55, 0xAA}, kBaudFast)},
        {Block(Join({Repeat(0xD3, 10), name})), Block(Repeat(0x41, 40), kBaudFast),
         Block(MachineFile())},
    };
}

void Save(const fs::path& path, const void* p, std::size_t n) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(p), static_cast<std::streamsize>(n));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

ByteArray Kxm(const std::vector<CTapeBlock>& tape) {
    ByteArray image;
    CMemoryArchive sink(image);
    WriteKxm(tape, sink);
    return image;
}

ByteArray T88(const std::vector<CTapeBlock>& tape) {
    ByteArray image;
    CMemoryArchive sink(image);
    WriteT88(tape, sink);
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds DIR\n";
        return 2;
    }
    try {
        const fs::path root(argv[1]);
        for (const char* sub : {"kxm", "t88", "raw", "receiver", "recording", "inspect"})
            fs::create_directories(root / sub);

        const auto tapes = Tapes();
        for (std::size_t i = 0; i < tapes.size(); ++i) {
            const std::string stem = "seed" + std::to_string(i);
            const ByteArray kxm = Kxm(tapes[i]);
            Save(root / "kxm" / stem, kxm.data(), kxm.size());
            const ByteArray t88 = T88(tapes[i]);
            Save(root / "t88" / stem, t88.data(), t88.size());

            ByteArray raw;
            CMemoryArchive rawSink(raw);
            WriteRaw(tapes[i], rawSink);
            Save(root / "raw" / stem, raw.data(), raw.size());

            // As the loader sends it: an empty line, then the blocks' texts.
            std::string text = "\r\n";
            for (const CTapeBlock& block : tapes[i])
                text += GetBlockText(block);
            Save(root / "receiver" / stem, text.data(), text.size());
        }

        // A short block at 1200 baud, then at 600, as 8-bit samples at
        // 8 kHz (first byte 0: raw samples, 8000 Hz, mono) and as a WAV
        // file of 16-bit samples (first byte 1).
        for (const int nBaud : {kBaudFast, kBaudSlow}) {
            const std::vector<CTapeBlock> tape{Block({0x3A, 0x9C, 0x00}, nBaud)};
            ByteArray wav;
            {
                CMemoryArchive sink(wav);
                WriteRecording(
                    [&tape](CTapeRecordSink& s) {
                        s.OnGap(TapeGap::inner, 0, 240);
                        s.OnData(240, 3 * TicksPerByte(tape[0].m_nBaud), tape[0].m_nBaud,
                                 tape[0].m_data);
                        s.OnGap(TapeGap::inner, 240 + 3 * TicksPerByte(tape[0].m_nBaud), 240);
                    },
                    sink, 8000);
            }
            // The encoder lays 2 s of leader after silence: keep the end.
            const std::size_t nKeep = std::min<std::size_t>(wav.size() - 44, 6000);
            ByteArray samples{0};
            for (std::size_t i = wav.size() - nKeep; i + 1 < wav.size(); i += 2) {
                const auto v = static_cast<std::int16_t>(wav[i] | (wav[i + 1] << 8));
                samples.push_back(static_cast<std::uint8_t>(128 + v / 256));
            }
            const std::string stem = "baud" + std::to_string(nBaud);
            Save(root / "recording" / (stem + "-samples"), samples.data(), samples.size());
            ByteArray file{1};
            file.insert(file.end(), wav.begin(), wav.begin() + 44);
            file.insert(file.end(), wav.end() - static_cast<std::ptrdiff_t>(nKeep), wav.end());
            Save(root / "recording" / (stem + "-wav"), file.data(), file.size());
        }

        // Two images end to end read as one tape.
        const ByteArray joined = Join({Kxm(tapes[0]), Kxm(tapes[2])});
        Save(root / "kxm" / "joined", joined.data(), joined.size());
        const ByteArray joinedT88 = Join({T88(tapes[0]), T88(tapes[2])});
        Save(root / "t88" / "joined", joinedT88.data(), joinedT88.size());

        // A transfer given up after its first data line, then one of 0 bytes
        // with its empty data line.
        std::string text = GetBlockText(Block(Repeat(0x20, 20)));
        text = text.substr(0, text.find("\r\n", text.find("\r\n", 6) + 2) + 2) + "ABORT\r\n";
        text += "CAS2\r\n0000\r\n\r\n00\r\n";
        Save(root / "receiver" / "abort-and-empty", text.data(), text.size());

        // A program body with every number form, as the inspector's target
        // puts it behind a BASIC header; and its listing, as text.
        const std::string listing = "10 A=1+10+300+&HFF+&O7+1.5+.25#:GOTO 10\n"
                                    "20 IF A THEN 10 ELSE PRINT \"ｱ\";A$ 'x\n30 DATA 1,\"2\"\n";
        const CTapeBlock program = inspect::BuildBasicBlock(listing, {}, kBaudFast);
        Save(root / "inspect" / "program", program.m_data.data() + kBasicHeaderSize,
             program.m_data.size() - kBasicHeaderSize);
        Save(root / "inspect" / "listing", listing.data(), listing.size());
    } catch (const std::exception& e) {
        std::cerr << "fuzz_seeds: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
