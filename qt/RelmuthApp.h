// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: one tape document, one main window with its list
// view, reused for every New and Open; the commands of the Help menu. The
// File commands are the session's (CFileCommands): the application shows
// what they ask (the save question, the file dialogs, the messages, the
// decode progress, the damage report) and stores the recent-file list.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTranslator>

#include <memory>

#include "audio/RecordingFormats.h"
#include "qt/CommandLine.h"
#include "session/CommandTarget.h"
#include "session/FileCommands.h"
#include "session/TapeSession.h"
#include "tape/RelmuthDoc.h"

class CDecodeProgressDlg;
class CMainFrame;
class CRelmuthView;

class CRelmuthApp : public QObject, public CFileOwner, public CCmdTarget {
    Q_OBJECT

  public:
    CRelmuthApp();
    ~CRelmuthApp() override;

    // Start-up: settings, the window, a new tape or the named file, the
    // view's first initial update, and the window shown. False when the
    // named file could not be opened (its message has been shown): the
    // program then ends. When the user cancels the port choice, the window
    // is asked to close and is never shown.
    bool InitInstance(const CCommandLineInfo& cmdInfo);

    CRelmuthDoc& GetDocument() { return m_doc; }
    CMainFrame* GetMainFrame() const { return m_pMainWnd.get(); }
    CRelmuthView* GetView() const { return m_pView; }
    CDecodeProgressDlg* GetDecodeDlg() const { return m_pDecodeDlg; }
    CFileCommands& GetFileCommands() { return *m_pFile; }
    QStringList GetRecentFiles() const;
    // The bytes of the recording the tape was opened from that did not
    // decode cleanly (the session's).
    std::vector<CDamagedByte>& GetRecordingDamage();

    using OpenResult = CFileCommands::OpenResult;
    OpenResult OpenDocumentFile(const std::string& strPathName) {
        return m_pFile->OpenDocumentFile(strPathName);
    }
    bool SaveModified() { return m_pFile->SaveModified(); }
    void OnAppAbout();

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

    // CCmdTarget
    bool OnCmdMsg(unsigned nId) override;
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override;

  private:
    std::vector<std::string> LoadRecentFileList() const;
    void ShowRecentFiles();
    // The window's title and its commands' states after any change.
    void OnIdle();

    QTranslator m_qtTranslator;
    CRelmuthDoc m_doc; // outlives the window and its view
    std::unique_ptr<CMainFrame> m_pMainWnd;
    CRelmuthView* m_pView = nullptr;            // the frame's child
    CDecodeProgressDlg* m_pDecodeDlg = nullptr; // the frame's child
    CFileCommands* m_pFile = nullptr;           // the view's session's
    bool m_bClosing = false;
};
