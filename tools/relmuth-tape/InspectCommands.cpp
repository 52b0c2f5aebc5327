// SPDX-License-Identifier: GPL-3.0-or-later
// Commands on what a block holds: show (dump, BASIC listing, disassembly)
// and basic (a BASIC listing typed on the PC made into a block).
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

#include "inspect/BasicCruncher.h"
#include "inspect/BlockView.h"
#include "res/SystemReasons.h"
#include "tape/BlockInfo.h"
#include "tools/relmuth-tape/CliHost.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/RecordingOptions.h"

namespace {

using inspect::EBlockView;
using inspect::SBlockDamage;

bool ParseIndex(const std::string& s, std::size_t& nIndex) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), nIndex);
    return ec == std::errc() && end == s.data() + s.size();
}

// The offset as the dump writes it, so that it can be found with --hex.
std::string Offset(std::size_t nOffset) {
    char text[32];
    std::snprintf(text, sizeof text, "%04zXH", nOffset);
    return text;
}

std::string DamageLine(std::size_t nIndex, const SBlockDamage& damage) {
    const std::string where = "relmuth-tape: block " + std::to_string(nIndex) + ": ";
    const std::string at = Offset(damage.offset);
    switch (damage.kind) {
    case SBlockDamage::EKind::brokenLink:
        return where + "the program's line links break at offset " + at +
               "; the lines before it are listed";
    case SBlockDamage::EKind::programCutOff:
        return where + "the program ends at offset " + at +
               " inside a line or before its zero link; the lines before it are listed";
    case SBlockDamage::EKind::badCheck:
        return where + "the record at offset " + at +
               " has a wrong check byte; its bytes are shown as they came";
    case SBlockDamage::EKind::recordsCutOff:
        return where + "the records stop at offset " + at +
               " before the end record; the code before it is shown";
    }
    return where;
}

const char* KindName(EBlockView view) {
    return view == EBlockView::basic ? "a BASIC program" : "machine code";
}

// Reads a whole file, or standard input for "-".
bool ReadText(const std::string& path, std::string& bytes) {
    std::FILE* f = path == kStandardStream ? stdin : OpenStdio(path, "rb");
    if (f == nullptr) {
        PrintError("relmuth-tape: " + path + ": " + res::ErrnoReasonText(errno));
        return false;
    }
    char buffer[64 * 1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool bOk = !std::ferror(f);
    if (!bOk)
        PrintError("relmuth-tape: " + path + ": " + res::ErrnoReasonText(errno));
    if (f != stdin)
        std::fclose(f);
    return bOk;
}

// The default cassette name: the listing file's name without its
// extension, in upper case, cut to six characters.
std::string DefaultName(const std::string& path) {
    if (path == kStandardStream)
        return "";
    const std::u8string wide = PathFromUtf8(path).stem().u8string();
    std::string stem(wide.begin(), wide.end());
    for (char& c : stem)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return stem.substr(0, kFileNameSize);
}

} // namespace

int CmdShow(const Args& arguments) {
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    CRecordingReading reading;
    Args args = arguments;
    std::string error;
    if (!TakeRecordingOptions(args, reading.m_options, error))
        return UsageError("show", error);
    std::optional<EBlockView> view;
    Args rest;
    for (const std::string& arg : args) {
        std::optional<EBlockView> asked;
        if (arg == "--hex")
            asked = EBlockView::hex;
        else if (arg == "--basic")
            asked = EBlockView::basic;
        else if (arg == "--asm")
            asked = EBlockView::machine;
        else if (arg.size() > 1 && arg[0] == '-' && arg != kStandardStream)
            return UsageError("show", "unknown option '" + arg + "'");
        else
            rest.push_back(arg);
        if (asked && view && *view != *asked)
            return UsageError("show", "show takes one of --hex, --basic and --asm");
        if (asked)
            view = asked;
    }
    std::size_t nIndex = 0;
    if (rest.size() != 2)
        return UsageError("show", "show takes FILE and INDEX");
    if (!ParseIndex(rest[1], nIndex))
        return UsageError("show", "INDEX must be a block number from 0");
    CTerminalProgress progress;
    reading.m_pProgress = &progress;
    if (!OpenTape(doc, rest[0], reading))
        return kExitFailed;
    if (nIndex >= doc.m_blocks.size()) {
        std::fprintf(stderr, "relmuth-tape: %s has no block %zu (it has %zu)\n", rest[0].c_str(),
                     nIndex, doc.m_blocks.size());
        return kExitFailed;
    }
    const ByteArray& block = doc.m_blocks[nIndex].m_data;
    if (!view)
        view = inspect::SuggestedView(block);
    if (!inspect::ViewFits(*view, block)) {
        std::string strBaud, strBytes, strType, strName;
        doc.GetBlockInfo(doc.m_blocks[nIndex], strBaud, strBytes, strType, strName);
        std::fprintf(stderr, "relmuth-tape: block %zu is not %s (its type is %s)\n", nIndex,
                     KindName(*view), strType.c_str());
        return kExitFailed;
    }
    const inspect::SBlockText shown = inspect::ShowBlock(block, *view);
    if (!WriteOut(shown.text))
        return kExitFailed;
    for (const SBlockDamage& damage : shown.damage)
        PrintError(DamageLine(nIndex, damage));
    const int status = ReportRecordingDamage(reading);
    return shown.damage.empty() ? status : kExitIncomplete;
}

int CmdBasic(const Args& args) {
    std::string strName;
    bool bNameGiven = false;
    int nBaud = kBaudFast;
    Args rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--name" || arg == "--baud") {
            if (i + 1 >= args.size())
                return UsageError("basic", arg + " needs a value");
            const std::string& value = args[++i];
            if (arg == "--name") {
                strName = value;
                bNameGiven = true;
            } else if (value == "600" || value == "1200") {
                nBaud = value == "600" ? kBaudSlow : kBaudFast;
            } else {
                return UsageError("basic", "--baud takes 600 or 1200");
            }
        } else if (arg.size() > 1 && arg[0] == '-' && arg != kStandardStream) {
            return UsageError("basic", "unknown option '" + arg + "'");
        } else {
            rest.push_back(arg);
        }
    }
    if (rest.size() != 2)
        return UsageError("basic", "basic takes PROG.BAS and OUT");
    if (!bNameGiven)
        strName = DefaultName(rest[0]);
    std::vector<std::uint8_t> name;
    if (!inspect::EncodeFileName(strName, name)) {
        return UsageError("basic", "the cassette name '" + strName +
                                       "' is not six PC-8801 characters (ASCII or half-width "
                                       "katakana); give one with --name");
    }

    std::string listing;
    if (!ReadText(rest[0], listing))
        return kExitFailed;
    const std::string& out = rest[1];
    CTapeBlock block;
    try {
        block = inspect::BuildBasicBlock(listing, name, nBaud);
    } catch (const inspect::CBasicTextError& e) {
        const std::string where = e.m_bNumbered ? "line " + std::to_string(e.m_nLine)
                                                : "text line " + std::to_string(e.m_nLine);
        PrintError("relmuth-tape: " + rest[0] + ": " + where + ": " + e.what() + "; " +
                   (out == kStandardStream ? std::string("nothing was written")
                                           : out + " was left as it was"));
        return kExitFailed;
    }

    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    CRecordingReading reading;
    std::error_code ec;
    if (out != kStandardStream && std::filesystem::exists(PathFromUtf8(out), ec)) {
        if (!OpenTape(doc, out, reading))
            return kExitFailed;
    }
    doc.AppendBlock(std::move(block));
    return SaveTape(doc, out) ? kExitOk : kExitFailed;
}
