// SPDX-License-Identifier: GPL-3.0-or-later
// The block list view: the tape as a report-style list, one row per block,
// over the tape session, which it holds and forwards to. At its first
// initial update it has the session open the port (the one given on the
// command line, or the one the settings dialog gives); from then on the
// port's reader posts WM_COMM_RECEIVED and WM_COMM_LOST to the view, which
// hands them to the session. The view shows what the session tells it
// (progress dialogs, message boxes, the selected row) and runs the dialogs
// of its commands; the Edit commands and their update rules are the
// session's.
#pragma once

#include <QTreeView>

#include <memory>
#include <optional>
#include <string>

#include "session/BlockRows.h"
#include "session/CommandLine.h"
#include "session/CommandTarget.h"
#include "session/TapeSession.h"

class CBlockListModel;
class CRecvProgressDlg;

// The system clipboard as plain text. The update rule of Paste reads it
// after every selection change; on X11 each read asks the program that owns
// the clipboard, so the text is kept until the clipboard says it changed.
class CQtClipboard : public CClipboard {
  public:
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    void OnChanged() { m_text.reset(); }

  private:
    mutable std::optional<std::string> m_text;
};

class CRelmuthView : public QTreeView,
                     public CDocumentView,
                     public CBlockRows,
                     public CSessionOwner,
                     public CCmdTarget {
    Q_OBJECT

  public:
    explicit CRelmuthView(CRelmuthDoc& doc, QWidget* parent = nullptr);
    ~CRelmuthView() override;

    // The port the first initial update opens instead of asking.
    void SetStartPort(std::optional<CStartPort> port) { m_startPort = std::move(port); }

    // After start-up and every successful New and Open: the rows again from
    // the document and a receiver waiting for a header. The first one also
    // opens the port, or asks the program to close when the user cancels.
    void OnInitialUpdate();

    // The window goes: the port is closed and an open progress dialog deleted.
    void OnDestroy();

    CTapeSession& GetSession() { return m_session; }
    CCommPort& GetCommPort() { return m_session.GetPort(); }
    CRecvProgressDlg* GetRecvDlg() const { return m_pRecvDlg.get(); }
    const CReceiveContext& GetReceiveContext() const { return m_session.GetReceiveContext(); }
    bool HasColumns() const;

    // CDocumentView: the rows follow the update; a removed or moved row
    // that was selected leaves no row selected.
    void OnUpdate(CDocumentView* pSender, const CDocUpdate& update) override;

    // CBlockRows
    int GetRowCount() const override;
    int GetSelectedRow() const override;
    void SelectRow(int nIndex) override;
    void EnsureRowVisible(int nIndex) override;

    // CReceiveUi
    void OpenRecvProgress(int nTotal) override;
    void SetRecvProgress(int nPercent) override;
    void CloseRecvProgress() override;
    void ShowMessage(res::StringId nMessage) override;
    void Beep() override;
    void SelectBlock(std::size_t nIndex) override;
    // CSessionOwner
    void OnLinkLost(const CCommError& error) override;
    void ShowWaveform(std::size_t nBlock, std::size_t nOffset, const CByteWaveform& wave) override;

    // CCmdTarget
    bool OnCmdMsg(unsigned nId) override;
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override;

  signals:
    // Something a command's update rule reads may have changed.
    void commandStateChanged();
    // The serial line went away; the reason as the system gave it.
    void linkLost(const QString& strReason);
    // A port has been opened (again).
    void portOpened();
    // The user cancelled the settings dialog at start-up: the program ends.
    // (Going on without a port is no cancel: the program runs, sending and
    // receiving wait for 通信ポートの設定.)
    void closeRequested();

  protected:
    bool event(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

  private:
    // Asks for a port until one opens, or the user goes on without one
    // (offered at start-up only) or cancels.
    enum class PortChoice { opened, none, cancelled };
    PortChoice RunCommSettingsLoop(QWidget* parent, bool bOfferNoPort = false);
    bool OpenStartPort();
    void InsertColumns();
    void OnSendProgram();
    void OnCommSettings();

    CRelmuthDoc& m_doc;
    CBlockListModel* m_model; // owned by the view (its Qt child)
    CQtClipboard m_clipboard;
    CTapeSession m_session;
    std::unique_ptr<CRecvProgressDlg> m_pRecvDlg;
    std::optional<CStartPort> m_startPort;
    bool m_bFirstUpdateDone = false;
};
