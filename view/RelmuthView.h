// SPDX-License-Identifier: GPL-3.0-or-later
// The block list view: the tape as a report-style list, one row per block,
// and the owner of the serial link. At its first initial update it opens the
// port (the one given on the command line, or the one the settings dialog
// gives) and from then on receives: the port's reader posts WM_COMM_RECEIVED,
// the view takes the bytes and hands them to the receive context, which
// appends completed blocks to the document. The Edit commands and sending
// the loader are commands of this view; their logic is in the view core.
#pragma once

#include <QTreeView>

#include <memory>
#include <optional>
#include <string>

#include "serial/CommPort.h"
#include "view/BlockRows.h"
#include "view/CommandTarget.h"
#include "view/EditCommands.h"
#include "view/ReceiveContext.h"

class CBlockListModel;
class CRecvProgressDlg;

// A port named on the command line: "COMn" or a device path, and the speed flag.
struct CStartPort {
    std::string strName;
    unsigned nBaudFlag = 0;
};

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
                     public CReceiveUi,
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

    // While a file is opened, bytes that arrive wait in the port: a block
    // they bring goes to the tape that is there once the open is over, never
    // to one about to be replaced. Released, they are taken as usual.
    void HoldReceiving(bool bHold);

    CCommPort& GetCommPort() { return m_commPort; }
    CRecvProgressDlg* GetRecvDlg() const { return m_pRecvDlg.get(); }
    const CReceiveContext& GetReceiveContext() const { return m_receive; }
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
    void closeRequested();

  protected:
    bool event(QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

  private:
    // Asks for a port until one opens; false when the user cancelled.
    bool RunCommSettingsLoop(QWidget* parent);
    bool OpenStartPort();
    void InsertColumns();
    void OnCommReceived();
    void OnSendProgram();
    void OnCommSettings();

    CRelmuthDoc& m_doc;
    CBlockListModel* m_model; // owned by the view (its Qt child)
    CCommPort m_commPort;
    CQtClipboard m_clipboard;
    CReceiveContext m_receive;
    CEditCommands m_edit;
    std::unique_ptr<CRecvProgressDlg> m_pRecvDlg;
    std::optional<CStartPort> m_startPort;
    bool m_bFirstUpdateDone = false;
    bool m_bReceivingHeld = false;
    bool m_bReceivedWhileHeld = false;
};
