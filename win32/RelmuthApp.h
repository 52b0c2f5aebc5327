// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: one tape document, one main frame with its list
// view, reused for every New and Open; the recent-file list in the
// registry; the commands of the File and Help menus. It is the document's
// host: it asks for file names and shows why a file could not be opened or
// saved.
#pragma once

#include "win32/Relmuth.h"

#include <memory>
#include <string>
#include <vector>

#include "audio/RecordingFormats.h"
#include "session/CommandLine.h"
#include "session/CommandTarget.h"
#include "tape/RelmuthDoc.h"

class CDecodeProgressDlg;
class CMainFrame;
class CRelmuthView;

class CRelmuthApp final : public CDocumentHost, public CCmdTarget {
  public:
    CRelmuthApp();
    ~CRelmuthApp() override;
    CRelmuthApp(const CRelmuthApp&) = delete;
    CRelmuthApp& operator=(const CRelmuthApp&) = delete;

    // Start-up: settings, the window, a new tape or the named file, the
    // view's first initial update, and the window shown. False when the
    // window could not be made or the named file could not be opened (its
    // message has been shown): the program then ends. When the user
    // cancels the port choice, the window is asked to close and never shown.
    bool InitInstance(const CCommandLineInfo& cmdInfo, int nCmdShow);
    // The message loop, until the window has gone; the exit status.
    int Run();

    enum class OpenResult { opened, cancelled, failed };
    // The save question for a modified tape, then the file; the view shows
    // the new tape. A recording is decoded under a progress dialog, and one
    // with bytes that did not decode cleanly opens with a message listing them.
    OpenResult OpenDocumentFile(const std::string& strPathName);
    // Asks "TITLE への変更を保存しますか?" when the tape is modified; false
    // when the user cancelled, or chose to save and the save failed.
    bool SaveModified();

    void OnFileNew();
    void OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnOpenRecentFile(int nIndex);

    // CDocumentHost
    bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle, unsigned nFlags,
                               bool bOpenFileDialog) override;
    void ReportSaveLoadException(const CRelmuthException& error) override;
    void AddToRecentFileList(const std::string& strPathName) override;

    // CCmdTarget
    bool OnCmdMsg(unsigned nId) override;
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override;

  private:
    void LoadStdProfileSettings();
    void WriteRecentFileList() const;
    void SetRecentFiles(std::vector<std::string> files);
    OpenResult ReadDocumentFile(const std::string& strPathName);
    void ShowRecordingDamage();
    // The window's title and its tool bar's states, whenever the queue runs empty.
    void OnIdle();
    HWND MainHwnd() const;

    CRelmuthDoc m_doc; // outlives the window and its view
    std::unique_ptr<CMainFrame> m_pMainWnd;
    std::unique_ptr<CRelmuthView> m_pView;
    std::unique_ptr<CDecodeProgressDlg> m_pDecodeDlg;
    std::vector<std::string> m_recentFiles; // newest first
};
