// SPDX-License-Identifier: GPL-3.0-or-later
// The application object: one tape document, one main window with its list
// view, reused for every New and Open; the recent-file list; the commands of
// the File and Help menus. It is the document's host: it asks for file names
// and shows why a file could not be opened or saved.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTranslator>

#include <memory>

#include "audio/RecordingFormats.h"
#include "qt/CommandLine.h"
#include "session/CommandTarget.h"
#include "session/TapeSession.h"
#include "tape/RelmuthDoc.h"

class CDecodeProgressDlg;
class CMainFrame;
class CRelmuthView;

class CRelmuthApp : public QObject, public CDocumentHost, public CCmdTarget {
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
    const QStringList& GetRecentFiles() const { return m_recentFiles; }
    // The bytes of the recording the tape was opened from that did not
    // decode cleanly (the session's).
    std::vector<CDamagedByte>& GetRecordingDamage();

    enum class OpenResult { opened, cancelled, failed };
    // The save question for a modified tape, then the file; the view shows
    // the new tape. A failed open leaves an empty, untitled tape. A
    // recording is decoded under a progress dialog; when the user stops it,
    // the tape stays as it was and nothing is said (cancelled). A recording
    // with bytes that did not decode cleanly opens with a message listing
    // them.
    OpenResult OpenDocumentFile(const std::string& strPathName);

    // Asks "TITLE への変更を保存しますか?" when the tape is modified; false
    // when the user cancelled, or chose to save and the save failed.
    bool SaveModified();

    void OnFileNew();
    void OnFileOpen();
    // Another recording (or image) of the tape merged into the open one.
    void OnFileMergeTake();
    bool OnFileSave();
    bool OnFileSaveAs();
    void OnOpenRecentFile(int nIndex);
    void OnAppAbout();

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
    // The file into the document, the received bytes held meanwhile; the
    // view shows the new tape. No save question.
    OpenResult ReadDocumentFile(const std::string& strPathName);
    void ShowRecordingDamage();
    void WriteRecentFileList() const;
    void SetRecentFiles(QStringList files);
    // The window's title and its commands' states after any change.
    void OnIdle();

    QTranslator m_qtTranslator;
    CRelmuthDoc m_doc; // outlives the window and its view
    std::unique_ptr<CMainFrame> m_pMainWnd;
    CRelmuthView* m_pView = nullptr;            // the frame's child
    CDecodeProgressDlg* m_pDecodeDlg = nullptr; // the frame's child
    QStringList m_recentFiles;                  // newest first
    bool m_bClosing = false;
};
