// SPDX-License-Identifier: GPL-3.0-or-later
// Peak memory of one tape operation on the 64 MiB benchmark tape. Each run
// does one operation and prints the process's peak resident size against
// the tape's size; bench/tape/peak_memory.sh runs them all.
//
//   tape_memory make FILE        write the tape to FILE (KXM, T88 or raw by name)
//   tape_memory open FILE        open FILE through the document
//   tape_memory save FILE        build the tape and save it through the document
//   tape_memory read-kxm FILE    FILE's bytes in memory, read as KXM
//   tape_memory read-raw FILE    FILE's bytes in memory, read as a raw image
//   tape_memory write-kxm        build the tape, write it as KXM into memory
//   tape_memory write-raw        build the tape, write it as raw into memory
//   tape_memory receive          the tape's transfer text through the receiver
#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "BenchTape.h"
#include "session/ReceiveContext.h"
#include "tape/Archive.h"
#include "tape/BlockText.h"
#include "tape/KxmFormat.h"
#include "tape/RawFormat.h"
#include "tape/RelmuthDoc.h"

namespace {

ByteArray LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteArray((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

double PeakMiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
}

// Runs the operation; returns the tape bytes it handled, or 0 on failure.
std::size_t Run(const std::string& op, const std::string& path) {
    if (op == "make" || op == "save") {
        CRelmuthDoc doc;
        doc.ReplaceTape(bench::MakeTape());
        return doc.OnSaveDocument(path) ? bench::TapeBytes(doc.m_blocks) : 0;
    }
    if (op == "open") {
        CRelmuthDoc doc;
        return doc.OnOpenDocument(path) ? bench::TapeBytes(doc.m_blocks) : 0;
    }
    if (op == "read-kxm" || op == "read-raw") {
        const ByteArray image = LoadFile(path);
        std::vector<CTapeBlock> blocks;
        if (op == "read-kxm")
            ReadKxm(image, blocks);
        else
            ReadRaw(image, blocks);
        return bench::TapeBytes(blocks);
    }
    if (op == "write-kxm" || op == "write-raw") {
        const auto tape = bench::MakeTape();
        ByteArray image;
        CMemoryArchive sink(image);
        if (op == "write-kxm")
            WriteKxm(tape, sink);
        else
            WriteRaw(tape, sink);
        return image.empty() ? 0 : bench::TapeBytes(tape);
    }
    if (op == "receive") {
        CRelmuthDoc doc;
        bench::CQuietUi ui;
        CReceiveContext context(doc, ui);
        context.InstallReceiver();
        // The text is made block by block, as the loader sends it, and fed
        // in serial-sized pieces; only the receiving side is held whole.
        constexpr std::size_t kPiece = 4096;
        bench::CFiller fill;
        for (std::size_t i = 0; i < bench::kBlockCount; ++i) {
            const std::string text = "\r\n" + GetBlockText(bench::MakeBlock(fill, i));
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
            for (std::size_t i = 0; i < text.size(); i += kPiece)
                context.OnSerialBytes({bytes + i, std::min(kPiece, text.size() - i)});
        }
        return ui.m_nMessages == 0 ? bench::TapeBytes(doc.m_blocks) : 0;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tape_memory OPERATION [FILE]\n");
        return 2;
    }
    const std::string op = argv[1];
    const std::string path = argc > 2 ? argv[2] : "";
    try {
        const std::size_t nTape = Run(op, path);
        if (nTape == 0) {
            std::fprintf(stderr, "tape_memory: %s failed\n", op.c_str());
            return 1;
        }
        const double tapeMiB = static_cast<double>(nTape) / (1024.0 * 1024.0);
        const double peak = PeakMiB();
        std::printf("%-10s peak %7.1f MiB  tape %5.1f MiB  peak/tape %.2f\n", op.c_str(), peak,
                    tapeMiB, peak / tapeMiB);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tape_memory: %s: %s\n", op.c_str(), e.what());
        return 1;
    }
    return 0;
}
