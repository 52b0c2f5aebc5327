// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: one tape document, one main frame with its list
// view, reused for every New and Open; the commands of the Help menu. The
// File commands are the session's (CFileCommands): the application shows
// what they ask (the save question, the file dialogs, the messages, the
// decode progress, the damage report) and keeps the recent-file list in
// the registry.
#pragma once

#include "win32/Relmuth.h"

#include <memory>
#include <string>
#include <vector>

#include "session/CommandLine.h"
#include "session/CommandTarget.h"
#include "session/FileCommands.h"
#include "tape/RelmuthDoc.h"

class CDecodeProgressDlg;
class CMainFrame;
class CRelmuthView;

class CRelmuthApp final : public CFileOwner, public CCmdTarget {
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

    // CFileOwner
    SaveAnswer AskSaveChanges(const std::string& strTitle) override;
    bool PromptForTapeFileName(std::string& strFileName, res::StringId nTitle, unsigned nFlags,
                               bool bOpenFileDialog) override;
    bool AskLossySave(const std::vector<std::string>& losses) override;
    void ShowMessageText(const std::string& strText) override;
    CDecodeProgress* StartDecodeProgress() override;
    void FinishDecodeProgress() override;
    void ShowRecordingDamage(const std::vector<std::string>& lines) override;
    void OnRecentFilesChanged(const std::vector<std::string>& files) override;
    void OnTapeReplaced() override;

    // CCmdTarget: About and Exit.
    bool OnCmdMsg(unsigned nId) override;
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override;

  private:
    std::vector<std::string> LoadRecentFileList() const;
    void ShowRecentFiles();
    // The window's title and its tool bar's states, whenever the queue runs empty.
    void OnIdle();
    HWND MainHwnd() const;

    CRelmuthDoc m_doc; // outlives the window and its view
    std::unique_ptr<CMainFrame> m_pMainWnd;
    std::unique_ptr<CRelmuthView> m_pView;
    std::unique_ptr<CDecodeProgressDlg> m_pDecodeDlg;
    CFileCommands* m_pFile = nullptr; // the view's session's
};
