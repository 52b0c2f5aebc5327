// SPDX-License-Identifier: GPL-3.0-or-later
// How the command-line tool shows what the window program shows in boxes:
// every message on a line of its own on standard error.
#pragma once

#include <cstdio>
#include <string>

#include "tape/RelmuthDoc.h"
#include "view/ReceiveContext.h"

class CCliDocumentHost : public CDocumentHost {
  public:
    bool PromptForTapeFileName(std::string&, res::StringId, unsigned, bool) override {
        return false; // there is nobody to ask
    }
    void ReportSaveLoadException(const CRelmuthException& error) override;
};

// Receiving without a window: messages go to standard error, progress nowhere.
class CCliReceiveUi : public CReceiveUi {
  public:
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId nMessage) override;
};

// Writes the line and a LF to the stream.
void PrintLine(std::FILE* stream, const std::string& line);

// The list line of block nIndex: INDEX, BAUD, BYTES, TYPE, NAME by tabs.
std::string BlockListLine(const CRelmuthDoc& doc, std::size_t nIndex);
