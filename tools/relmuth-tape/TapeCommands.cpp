// SPDX-License-Identifier: GPL-3.0-or-later
// Commands on tape files: list, convert, text, import.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "audio/SoundFile.h"
#include "tools/relmuth-tape/CliHost.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/RecordingOptions.h"

namespace {

void UsageError(const char* text) {
    std::fprintf(stderr, "relmuth-tape: %s\n", text);
    std::fprintf(stderr, "Try 'relmuth-tape --help'.\n");
}

// Reads a whole file, or standard input for "-"; errno text on failure.
bool ReadInput(const std::string& path, std::string& bytes, std::string& error) {
    std::FILE* f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (f == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool bOk = !std::ferror(f);
    if (!bOk)
        error = path + ": " + std::strerror(errno);
    if (f != stdin)
        std::fclose(f);
    return bOk;
}

} // namespace

int CmdList(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host);
    Args args = arguments;
    if (!TakeRecordingOptions(args, doc))
        return kExitUsage;
    if (args.size() != 1) {
        UsageError("list takes one FILE");
        return kExitUsage;
    }
    CTerminalProgress progress;
    doc.m_pDecodeProgress = &progress;
    if (!doc.OnOpenDocument(args[0]))
        return kExitFailed;
    for (std::size_t i = 0; i < doc.m_blocks.size(); ++i)
        PrintLine(stdout, BlockListLine(doc, i));
    return ReportRecordingDamage(doc);
}

int CmdConvert(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host);
    Args args = arguments;
    if (!TakeRecordingOptions(args, doc))
        return kExitUsage;
    if (args.size() != 2) {
        UsageError("convert takes IN and OUT [--baud 600|1200] [--channel left|right|mix]");
        return kExitUsage;
    }
    // A KXM image played into a recording keeps the image's own gaps.
    if (IsRecordingName(args[1]) && !IsRecordingName(args[0]) && !IsRawImageName(args[0])) {
        const ImageToRecording result = ConvertImageToRecording(args[0], args[1]);
        if (result != ImageToRecording::notKxm)
            return result == ImageToRecording::done ? kExitOk : kExitFailed;
    }
    CTerminalProgress progress;
    doc.m_pDecodeProgress = &progress;
    if (!doc.OnOpenDocument(args[0]))
        return kExitFailed;
    doc.m_pDecodeProgress = nullptr;
    const int status = ReportRecordingDamage(doc);
    return doc.OnSaveDocument(args[1]) ? status : kExitFailed;
}

int CmdText(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host);
    Args args = arguments;
    if (!TakeRecordingOptions(args, doc))
        return kExitUsage;
    if (args.empty() || args.size() > 2) {
        UsageError("text takes FILE and an optional INDEX");
        return kExitUsage;
    }
    std::size_t nIndex = 0;
    if (args.size() == 2) {
        const std::string& s = args[1];
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), nIndex);
        if (ec != std::errc() || end != s.data() + s.size()) {
            UsageError("INDEX must be a block number from 0");
            return kExitUsage;
        }
    }
    CTerminalProgress progress;
    doc.m_pDecodeProgress = &progress;
    if (!doc.OnOpenDocument(args[0]))
        return kExitFailed;
    if (args.size() == 2 && nIndex >= doc.m_blocks.size()) {
        std::fprintf(stderr, "relmuth-tape: %s has no block %zu (it has %zu)\n", args[0].c_str(),
                     nIndex, doc.m_blocks.size());
        return kExitFailed;
    }
    for (std::size_t i = 0; i < doc.m_blocks.size(); ++i) {
        if (args.size() == 2 && i != nIndex)
            continue;
        const std::string text = doc.GetBlockText(doc.m_blocks[i]);
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
    if (std::fflush(stdout) != 0)
        return kExitFailed;
    return ReportRecordingDamage(doc);
}

int CmdImport(const Args& args) {
    if (args.size() != 2) {
        UsageError("import takes TEXTFILE and OUT");
        return kExitUsage;
    }
    std::string bytes, error;
    if (!ReadInput(args[0], bytes, error)) {
        std::fprintf(stderr, "relmuth-tape: %s\n", error.c_str());
        return kExitFailed;
    }
    CCliDocumentHost host;
    CRelmuthDoc doc(&host);
    CCliReceiveUi ui;
    CReceiveContext receiver(doc, ui);
    receiver.InstallReceiver();
    receiver.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    return doc.OnSaveDocument(args[1]) ? kExitOk : kExitFailed;
}
