// SPDX-License-Identifier: GPL-3.0-or-later
// Commands on tape files: list, convert, text, import.
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <unistd.h>

#include "audio/RecordingMarks.h"
#include "audio/TakeMerge.h"
#include "inspect/BlockView.h"
#include "res/SystemReasons.h"
#include "tape/AsciiCase.h"
#include "tools/relmuth-tape/CliHost.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/RecordingOptions.h"
#include "tools/relmuth-tape/SaveCleanup.h"

namespace {

// Reads a whole file, or standard input for "-"; errno text on failure.
bool ReadInput(const std::string& path, std::string& bytes, std::string& error) {
    std::FILE* f = path == kStandardStream ? stdin : OpenStdio(path, "rb");
    if (f == nullptr) {
        error = path + ": " + res::ErrnoReasonText(errno);
        return false;
    }
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool bOk = !std::ferror(f);
    if (!bOk)
        error = path + ": " + res::ErrnoReasonText(errno);
    if (f != stdin)
        std::fclose(f);
    return bOk;
}

// Takes --quality out of args (before "--"); whether it was there.
bool TakeQualityFlag(Args& args) {
    bool bFound = false;
    for (std::size_t i = 0; i < OptionsEnd(args);) {
        if (args[i] == "--quality") {
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
            bFound = true;
        } else {
            ++i;
        }
    }
    return bFound;
}

// The quality column: how clearly the decoder read the block (the mean of
// its bytes' confidence, "-" for a block that came from a tape image),
// then whether the checks the block's data carries hold.
std::string QualityColumns(const CTapeBlock& block, const CBlockQuality* pQuality) {
    std::string text = "-";
    if (pQuality != nullptr)
        text = std::to_string(std::lround(100.0 * pQuality->dConfidence)) + '%';
    const inspect::EBlockView view = inspect::SuggestedView(block.m_data);
    res::StringId check = res::IDS_QUALITY_NO_CHECK;
    if (view != inspect::EBlockView::hex)
        check = inspect::ShowBlock(block.m_data, view).damage.empty() ? res::IDS_QUALITY_CHECK_OK
                                                                      : res::IDS_QUALITY_CHECK_BAD;
    return text + '\t' + std::string(res::LoadString(check));
}

} // namespace

int CmdList(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    CRecordingReading reading;
    Args args = arguments;
    std::string error;
    const bool bQuality = TakeQualityFlag(args);
    if (!TakeRecordingOptions(args, reading.m_options, error))
        return UsageError("list", error);
    if (args.size() != 1)
        return UsageError("list", "list takes one FILE");
    CTerminalProgress progress;
    reading.m_pProgress = &progress;
    if (!OpenTape(doc, args[0], reading))
        return kExitFailed;
    const std::vector<CBlockQuality>& quality = reading.m_quality;
    for (std::size_t i = 0; i < doc.m_blocks.size(); ++i) {
        std::string line = BlockListLine(doc, i);
        if (bQuality)
            line +=
                '\t' + QualityColumns(doc.m_blocks[i], i < quality.size() ? &quality[i] : nullptr);
        if (!PrintLine(line))
            return kExitFailed;
    }
    return ReportRecordingDamage(reading);
}

int CmdConvert(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    CRecordingReading reading;
    Args args = arguments;
    std::string error;
    if (!TakeRecordingOptions(args, reading.m_options, error))
        return UsageError("convert", error);
    if (args.size() != 2)
        return UsageError("convert", "convert takes IN and OUT");
    std::optional<CSaveCleanup> cleanup;
    if (args[1] != kStandardStream)
        cleanup.emplace(args[1]);
    // A KXM or T88 image played into a recording keeps the image's own gaps.
    if (EndsWithIgnoringAsciiCase(args[1], ".wav") && args[0] != kStandardStream &&
        !IsRecordingName(args[0]) && !IsRawImageName(args[0])) {
        ByteArray image;
        const ImageToRecording result = ConvertImageToRecording(args[0], args[1], image);
        if (result != ImageToRecording::notAnImage)
            return result == ImageToRecording::done ? kExitOk : kExitFailed;
        // IN has been read (it may be a pipe): the tape is made from its
        // bytes, under its name, as the document would open it.
        if (!image.empty()) {
            try {
                CMemoryArchive in(std::span<const std::uint8_t>(image), args[0]);
                doc.Serialize(in);
            } catch (const CRelmuthException& e) {
                host.ReportSaveLoadException(e);
                return kExitFailed;
            }
        }
        return SaveTape(doc, args[1]) ? kExitOk : kExitFailed;
    }
    CTerminalProgress progress;
    reading.m_pProgress = &progress;
    if (!OpenTape(doc, args[0], reading))
        return kExitFailed;
    reading.m_pProgress = nullptr;
    const int status = ReportRecordingDamage(reading);
    // The user named the format: it is written all the same.
    ReportSaveLosses(doc.m_blocks, doc.m_damageMarks, TapeFormatOfName(args[1]));
    return SaveTape(doc, args[1]) ? status : kExitFailed;
}

int CmdText(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    CRecordingReading reading;
    Args args = arguments;
    std::string error;
    if (!TakeRecordingOptions(args, reading.m_options, error))
        return UsageError("text", error);
    if (args.empty() || args.size() > 2)
        return UsageError("text", "text takes FILE and an optional INDEX");
    std::size_t nIndex = 0;
    if (args.size() == 2) {
        const std::string& s = args[1];
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), nIndex);
        if (ec != std::errc() || end != s.data() + s.size())
            return UsageError("text", "INDEX must be a block number from 0");
    }
    CTerminalProgress progress;
    reading.m_pProgress = &progress;
    if (!OpenTape(doc, args[0], reading))
        return kExitFailed;
    if (args.size() == 2 && nIndex >= doc.m_blocks.size()) {
        std::fprintf(stderr, "relmuth-tape: %s has no block %zu (it has %zu)\n", args[0].c_str(),
                     nIndex, doc.m_blocks.size());
        return kExitFailed;
    }
    for (std::size_t i = 0; i < doc.m_blocks.size(); ++i) {
        if (args.size() == 2 && i != nIndex)
            continue;
        if (!WriteOut(doc.GetBlockText(doc.m_blocks[i])))
            return kExitFailed;
    }
    return ReportRecordingDamage(reading);
}

int CmdMerge(const Args& arguments) {
    Args args = arguments;
    std::string error;
    CRecordingOptions options;
    if (!TakeRecordingOptions(args, options, error))
        return UsageError("merge", error);
    if (args.size() < 3)
        return UsageError("merge", "merge takes two or more TAKEs and OUT");
    const std::string out = args.back();
    args.pop_back();
    std::optional<CSaveCleanup> cleanup;
    if (out != kStandardStream)
        cleanup.emplace(out);
    std::vector<CTake> takes;
    for (const std::string& path : args) {
        CCliDocumentHost host;
        CRelmuthDoc take(&host, TapeFormats());
        CRecordingReading reading;
        reading.m_options = options;
        CTerminalProgress progress;
        reading.m_pProgress = &progress;
        if (!OpenTape(take, path, reading))
            return kExitFailed;
        takes.push_back(TakeFromReading(take.m_blocks, take.m_damageMarks, reading));
    }
    const CMergeResult merged = MergeTakes(takes);
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    doc.ReplaceTape(merged.blocks, MarksFromDamage(merged.damage));
    for (std::size_t i = 0; i < doc.m_blocks.size(); ++i) {
        if (!PrintLine(BlockListLine(doc, i)))
            return kExitFailed;
        PrintError(DescribeMergedBlock(i, merged.merged[i]));
    }
    ReportSaveLosses(doc.m_blocks, doc.m_damageMarks, TapeFormatOfName(out));
    if (!SaveTape(doc, out))
        return kExitFailed;
    if (merged.damage.empty()) {
        PrintError(std::string(res::LoadString(res::IDS_MERGE_WHOLE)));
        return kExitOk;
    }
    PrintError(std::string(res::LoadString(res::IDS_MERGE_UNDECIDED)));
    for (const CDamagedByte& d : merged.damage)
        PrintError(DescribeDamage(d));
    return kExitIncomplete;
}

int CmdImport(const Args& arguments) {
    Args args = arguments;
    DropEndOfOptions(args);
    if (args.size() != 2)
        return UsageError("import", "import takes TEXTFILE and OUT");
    std::optional<CSaveCleanup> cleanup;
    if (args[1] != kStandardStream)
        cleanup.emplace(args[1]);
    std::string bytes, error;
    if (!ReadInput(args[0], bytes, error)) {
        std::fprintf(stderr, "relmuth-tape: %s\n", error.c_str());
        return kExitFailed;
    }
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    CCliReceiveUi ui;
    CReceiveContext receiver(doc, ui);
    receiver.InstallReceiver();
    receiver.OnSerialBytes({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
    if (!SaveTape(doc, args[1]))
        return kExitFailed;

    // The receiver keeps an unfinished line or transfer for bytes that never
    // come; the user hears what was left and why it usually happens.
    const char* left = nullptr;
    if (receiver.IsInTransfer())
        left = "inside a transfer, whose block was not stored";
    else if (!receiver.GetPartialLine().empty())
        left = "inside a line, which was not taken";
    if (left == nullptr)
        return kExitOk;
    const std::string name = args[0] == kStandardStream ? "standard input" : args[0];
    std::fprintf(stderr,
                 "relmuth-tape: %s ends %s; %s holds the complete blocks only (every line of "
                 "transfer text ends with CR LF)\n",
                 name.c_str(), left, args[1] == kStandardStream ? "the output" : args[1].c_str());
    return kExitIncomplete;
}
