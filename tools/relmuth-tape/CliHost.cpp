// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-tape/CliHost.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "res/SystemReasons.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/Platform.h"

namespace {

void ReportOutputError(int nErrno) {
    std::fprintf(stderr, "relmuth-tape: write error on standard output: %s\n",
                 res::ErrnoReasonText(nErrno).c_str());
}

} // namespace

void PrintError(const std::string& line) {
    WriteStream(stderr, line + '\n');
}

bool WriteOut(std::string_view bytes) {
    if (WriteStream(stdout, bytes))
        return true;
    ReportOutputError(errno != 0 ? errno : EIO);
    return false;
}

bool PrintLine(const std::string& line) {
    return WriteOut(line + '\n');
}

void ReportError(const CRelmuthException& error) {
    std::string text(res::LoadString(error.GetMessageId()));
    if (!error.GetReason().empty())
        text += " (" + error.GetReason() + ")";
    PrintError(text);
}

void CCliDocumentHost::ReportSaveLoadException(const CRelmuthException& error) {
    ReportError(error);
}

void CCliReceiveUi::ShowMessage(res::StringId nMessage) {
    PrintError(std::string(res::LoadString(nMessage)));
}

void CCliReceiveUi::OnLinkLost(const CCommError& error) {
    m_bLinkLost = true;
    PrintError(std::string(res::LoadString(res::IDS_PORT_LOST)) + " (" + error.strReason + ")");
}

bool OpenTape(CRelmuthDoc& doc, const std::string& strPath, CTapeReading& reading) {
    if (strPath != kStandardStream)
        return doc.OnOpenDocument(strPath, reading);
    try {
        CFile in = CFile::Duplicate(STDIN_FILENO, strPath, res::AFX_IDP_FAILED_TO_OPEN_DOC);
        return doc.OnOpenDocument(in, reading);
    } catch (const CRelmuthException& e) {
        ReportError(e);
        return false;
    }
}

bool SaveTape(CRelmuthDoc& doc, const std::string& strPath) {
    if (strPath != kStandardStream)
        return doc.OnSaveDocument(strPath);
    try {
        // Anything printed before goes out before the tape.
        std::fflush(stdout);
        CFile out = CFile::Duplicate(STDOUT_FILENO, strPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
        return doc.OnSaveDocument(out);
    } catch (const CRelmuthException& e) {
        ReportError(e);
        return false;
    }
}

int UsageError(const std::string& strCommand, const std::string& strText) {
    std::fprintf(stderr, "relmuth-tape: %s\n", strText.c_str());
    std::fprintf(stderr, "Try 'relmuth-tape%s%s --help'.\n", strCommand.empty() ? "" : " ",
                 strCommand.c_str());
    return kExitUsage;
}

int FinishOutput(int nStatus) {
    // A failed write has been reported where it happened.
    if (std::ferror(stdout)) {
        nStatus = kExitFailed;
    } else if (std::fclose(stdout) != 0) {
        ReportOutputError(errno);
        nStatus = kExitFailed;
    }
    // Nothing can be said about standard error failing but the status.
    if (std::fflush(stderr) != 0 || std::ferror(stderr))
        nStatus = kExitFailed;
    return nStatus;
}

std::size_t OptionsEnd(const Args& args) {
    return static_cast<std::size_t>(std::find(args.begin(), args.end(), "--") - args.begin());
}

void DropEndOfOptions(Args& args) {
    const auto at = std::find(args.begin(), args.end(), "--");
    if (at != args.end())
        args.erase(at);
}

std::string BlockListLine(const CRelmuthDoc& doc, std::size_t nIndex) {
    std::string strBaud, strBytes, strType, strName;
    doc.GetBlockInfo(doc.m_blocks[nIndex], strBaud, strBytes, strType, strName);
    return std::to_string(nIndex) + '\t' + strBaud + '\t' + strBytes + '\t' + strType + '\t' +
           strName;
}

TapeFormat TapeFormatOfName(const std::string& strPath) {
    if (strPath == kStandardStream)
        return TapeFormat::kxm;
    return TapeFormats().ForName(strPath).kind;
}

void ReportSaveLosses(const std::vector<CTapeBlock>& blocks, const CDamageMarks& marks,
                      TapeFormat format) {
    std::vector<CSaveLoss> losses = FindSaveLosses(blocks, marks, format);
    std::erase_if(losses, [](const CSaveLoss& loss) { return loss.kind == CSaveLoss::tooLong; });
    if (losses.empty())
        return;
    PrintError(std::string(res::LoadString(res::IDS_SAVE_LOSSES)));
    for (const CSaveLoss& loss : losses)
        PrintError(DescribeSaveLoss(loss));
}
