// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-tape/CliHost.h"

void PrintLine(std::FILE* stream, const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void CCliDocumentHost::ReportSaveLoadException(const CRelmuthException& error) {
    std::string text(res::LoadString(error.GetMessageId()));
    if (!error.GetReason().empty())
        text += " (" + error.GetReason() + ")";
    PrintLine(stderr, text);
}

void CCliReceiveUi::ShowMessage(res::StringId nMessage) {
    PrintLine(stderr, std::string(res::LoadString(nMessage)));
}

std::string BlockListLine(const CRelmuthDoc& doc, std::size_t nIndex) {
    std::string strBaud, strBytes, strType, strName;
    doc.GetBlockInfo(doc.m_blocks[nIndex], strBaud, strBytes, strType, strName);
    return std::to_string(nIndex) + '\t' + strBaud + '\t' + strBytes + '\t' + strType + '\t' +
           strName;
}
