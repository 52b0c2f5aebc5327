// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu of a window program, toolkit-free: New, Open, Save, Save
// As, the recent files, the question whether to save a modified tape, the
// decoding of a recording under its progress, and the report of a
// recording's damaged bytes. Every window program holds one (through its
// tape session) and only shows what it is asked to: the questions, the
// file name prompt, the messages and the progress go through CFileOwner.
//
// While it lives it is the document's host: the document's prompts and
// failure reports reach the owner through it, and every file opened or
// saved goes to the top of the recent-file list.
//
// An open reads the new file first, beside the tape: only a file that
// was read whole brings the save question about the tape it replaces. A
// file that cannot be read (missing, no tape, a recording with no block)
// is reported and the tape stays as it was, with its name and its modified
// flag; a recording whose decoding the user stopped changes nothing and is
// not reported. So it is for File > Open, a recent file, a dropped file and
// the file named at start-up.
//
// A save in a format that cannot keep all of the tape (the speeds in a raw
// image, damage marks outside KXM...) says what would be lost first, and
// the user goes on or picks another name and format.
//
// The recent-file list: at most res::kRecentFileCount absolute paths,
// newest first; a path opened again moves to the top, one that fails to
// open goes. The owner stores it (and gives it back at start-up through
// SetRecentFiles); it is shown through GetRecentFileMenuText.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "session/CommandTarget.h"
#include "tape/RelmuthDoc.h"

class CTapeSession;

// What the File commands ask of the window program around them.
class CFileOwner {
  public:
    virtual ~CFileOwner() = default;

    // The save question, "TITLE への変更を保存しますか?" with three answers.
    enum class SaveAnswer { save, discard, cancel };
    virtual SaveAnswer AskSaveChanges(const std::string& strTitle) = 0;

    // The tape file name prompt (open or save dialog); true when the user
    // confirmed a name, which is then in strFileName.
    virtual bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle,
                                       unsigned nFlags, bool bOpenFileDialog) = 0;

    // The losses of a save (one text each, under IDS_SAVE_LOSSES): true to
    // save all the same, false to choose another name or format.
    virtual bool AskLossySave(const std::vector<std::string>& losses) = 0;

    // A message box with one OK button and this text (why a file could not
    // be opened or saved).
    virtual void ShowMessageText(const std::string& strText) = 0;

    // The decoding of a recording begins: the progress to report to (its
    // cancel stops the decoding), shown until FinishDecodeProgress.
    virtual CDecodeProgress* StartDecodeProgress() = 0;
    virtual void FinishDecodeProgress() = 0;

    // The bytes of a recording that did not decode cleanly, one line each
    // (shown as a recording opens, and again from the View menu).
    virtual void ShowRecordingDamage(const std::vector<std::string>& lines) = 0;

    // The recent-file list changed (newest first): to be stored and shown.
    virtual void OnRecentFilesChanged(const std::vector<std::string>& files) = 0;

    // The tape was replaced by New or Open: the view shows it afresh.
    virtual void OnTapeReplaced() {}
};

class CFileCommands final : public CDocumentHost, public CCmdTarget {
  public:
    CFileCommands(CTapeSession& session, CFileOwner& owner);
    ~CFileCommands() override;
    CFileCommands(const CFileCommands&) = delete;
    CFileCommands& operator=(const CFileCommands&) = delete;

    enum class OpenResult { opened, cancelled, failed };

    // The File menu.
    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    // Another take of the tape (a recording or an image), picked by the
    // user, merged into the open tape; what was mended and what stays
    // doubtful is told.
    void OnFileMergeTake();
    // Opens entry nIndex of the recent-file list (from 0).
    void OnOpenRecentFile(int nIndex);

    // Reads the file, then asks the save question, then replaces the tape
    // (a recording under its progress, its damage reported once open).
    OpenResult OpenDocumentFile(const std::string& strPathName);
    // The file named at start-up: as OpenDocumentFile, but the damage is
    // not reported yet (the window is not shown); ReportRecordingDamage
    // does it once it is.
    OpenResult OpenStartFile(const std::string& strPathName);

    // Asks the save question while the tape is modified; false when the
    // user cancelled, or chose to save and the save failed. A block that
    // arrives while the question is open brings it again.
    bool SaveModified();

    // The damaged bytes of the tape, told again: the recording's own
    // reading when the tape was decoded from one, else the marks the tape
    // keeps (from a KXM image). Nothing when there are none.
    bool HasDamageReport() const;
    void ReportRecordingDamage();

    // The recent-file list.
    void SetRecentFiles(std::vector<std::string> files); // as stored, newest first
    const std::vector<std::string>& GetRecentFiles() const { return m_recentFiles; }
    // "&1 /home/user/…/tapes/side-a.kxm": the entry's number and its path,
    // shortened to the menu's width, ampersands doubled.
    std::string GetRecentFileMenuText(int nIndex) const;

    // CDocumentHost
    bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle, unsigned nFlags,
                               bool bOpenFileDialog) override;
    void ReportSaveLoadException(const CRelmuthException& error) override;
    void AddToRecentFileList(const std::string& strPathName) override;

    // CCmdTarget: New, Open, Save, Save As, the recent files and the
    // damage report of the View menu.
    bool OnCmdMsg(unsigned nId) override;
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override;

  private:
    OpenResult Open(const std::string& strPathName, bool bReportDamage);
    // Save (a name) or Save As (none: the user is asked).
    bool DoSave(const std::string& strPathName);
    // The name Save As proposes first.
    std::string ProposedSaveName() const;
    void RemoveRecentFile(const std::string& strPathName);
    void SetRecentFilesAndTell(std::vector<std::string> files);

    CTapeSession& m_session;
    CRelmuthDoc& m_doc;
    CFileOwner& m_owner;
    CDocumentHost* m_pPreviousHost;
    // While a file is read, under its progress: what the document reports
    // waits until the progress has gone.
    bool m_bReading = false;
    std::vector<std::string> m_heldMessages;
    std::vector<std::string> m_recentFiles; // newest first
};
