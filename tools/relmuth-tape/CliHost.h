// SPDX-License-Identifier: GPL-3.0-or-later
// How the command-line tool shows what the window program shows in boxes:
// every message on a line of its own on standard error. Also what the
// commands share: opening and saving a tape by name, where "-" is standard
// input or output, and the usage error.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "audio/RecordingFormats.h"
#include "session/TapeSession.h"
#include "tape/RelmuthDoc.h"
#include "tape/SaveLosses.h"

// The message of a failed open or save and, in brackets, the system's reason.
void ReportError(const CRelmuthException& error);

class CCliDocumentHost : public CDocumentHost {
  public:
    bool PromptForTapeFileName(std::string&, res::StringId, unsigned, bool) override {
        return false; // there is nobody to ask
    }
    void ReportSaveLoadException(const CRelmuthException& error) override;
};

// Receiving without a window: messages go to standard error, progress
// nowhere; a lost line is said there too.
class CCliReceiveUi : public CSessionOwner {
  public:
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId nMessage) override;
    void OnLinkLost(const CCommError& error) override;
    bool LinkLost() const { return m_bLinkLost; }

  private:
    bool m_bLinkLost = false;
};

// The name that stands for standard input or output.
inline constexpr const char* kStandardStream = "-";

// Opens the tape FILE, or standard input for "-"; false once the reason is
// reported. The reading keeps what the file's format reports beside it.
bool OpenTape(CRelmuthDoc& doc, const std::string& strPath, CTapeReading& reading);
// Saves the tape as FILE, or to standard output for "-".
bool SaveTape(CRelmuthDoc& doc, const std::string& strPath);

// Writes the line and a LF to standard error.
void PrintError(const std::string& line);

// Writes to standard output at once. On failure (a full disk, a closed
// pipe) says why on standard error and returns false; the command then ends
// with kExitFailed.
bool WriteOut(std::string_view bytes);
bool PrintLine(const std::string& line); // the line and a LF

// Says what is wrong with the arguments of the command and where its usage
// is told; returns the usage status.
int UsageError(const std::string& strCommand, const std::string& strText);

// Closes standard output and flushes standard error; a failure to write
// either, now or before, turns the status into kExitFailed.
int FinishOutput(int nStatus);

// The format a tape saved under this name is written in ("-": KXM).
TapeFormat TapeFormatOfName(const std::string& strPath);

// Says on standard error what saving the tape in the format loses, if
// anything: a heading and a line for each loss. A tape too long for the
// format is left to the save, which fails and says so.
void ReportSaveLosses(const std::vector<CTapeBlock>& blocks, const CDamageMarks& marks,
                      TapeFormat format);

// The list line of block nIndex: INDEX, BAUD, BYTES, TYPE, NAME by tabs.
std::string BlockListLine(const CRelmuthDoc& doc, std::size_t nIndex);
