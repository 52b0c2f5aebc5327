// SPDX-License-Identifier: GPL-3.0-or-later
// The block list view: a SysListView32 in report mode, one row per block,
// over the tape session, which it holds and forwards to. At its first
// initial update it has the session open the port (the one given on the
// command line, or the one the settings dialog gives); from then on the
// port's threads post WM_COMM_RECEIVED and WM_COMM_LOST to the list, which
// hands them to the session. The view shows what the session tells it
// (progress dialogs, message boxes, the selected row) and runs the dialogs
// of its commands; the Edit commands and their update rules are the
// session's.
#pragma once

#include "win32/Relmuth.h"

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "session/BlockRows.h"
#include "session/CommandLine.h"
#include "session/CommandTarget.h"
#include "session/TapeSession.h"
#include "win32/BlockPane.h"
#include "win32/Dialogs.h"

class CMainFrame;

class CRelmuthView final : public CDocumentView,
                           public CBlockRows,
                           public CSessionOwner,
                           public CCmdTarget {
  public:
    CRelmuthView(CRelmuthDoc& doc, CMainFrame& frame);
    ~CRelmuthView() override;
    CRelmuthView(const CRelmuthView&) = delete;
    CRelmuthView& operator=(const CRelmuthView&) = delete;

    // The list control, a child of the frame with id kViewId, and the
    // block pane beside it, hidden.
    bool Create(HWND hwndParent);
    HWND GetHwnd() const { return m_hwnd; }
    CBlockPane* GetBlockPane() { return m_pBlockPane.get(); }
    const CBlockPane* GetBlockPane() const { return m_pBlockPane.get(); }
    // The list's notifications, which go to the frame: the pane follows the
    // selection, and a row's damage mark has its text as the row's tip.
    LRESULT OnNotify(NMHDR* pHeader);

    // The port the first initial update opens instead of asking.
    void SetStartPort(std::optional<CStartPort> port) { m_startPort = std::move(port); }

    // After start-up and every successful New and Open: the rows again from
    // the document and a receiver waiting for a header. The first one also
    // opens the port, or, when the user cancels, asks the frame to close
    // (IsClosing then says so).
    void OnInitialUpdate();
    bool IsClosing() const { return m_bClosing; }
    // The four columns, full-row selection, and every row again with all
    // its texts; once, when a port is first open.
    void EnsureColumns();

    // The window goes: the port is closed and an open progress dialog deleted.
    void OnDestroy();

    CTapeSession& GetSession() { return m_session; }
    void OnClipboardChanged() { m_clipboard.OnChanged(); }
    // The receive progress dialog while one is open, for the message loop.
    HWND GetRecvDlg() const { return m_pRecvDlg ? m_pRecvDlg->GetHwnd() : nullptr; }

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

  private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR nId, DWORD_PTR pThis);
    // The rows again, all of them, from the document.
    void Resync();
    void InsertRow(int nIndex, const CRowTexts& texts);
    // The texts, and the damage mark on a row whose block has marked bytes.
    void SetRowTexts(int nIndex, const CRowTexts& texts);
    bool HasColumns() const;
    // Asks for a port until one opens, the user cancels, or (when offered)
    // goes on without one.
    enum class PortChoice { opened, none, cancelled };
    PortChoice RunCommSettingsLoop(HWND hwndOwner, bool bOfferNoPort = false);
    bool OpenStartPort();
    void OnSendProgram();
    void OnCommSettings();
    void TakeLostErrors();
    HWND FrameHwnd() const;

    CRelmuthDoc& m_doc;
    CMainFrame& m_frame;
    HWND m_hwnd = nullptr;
    CWinClipboard m_clipboard;
    // What the port's threads report of a lost line, until the view's
    // thread takes it (WM_COMM_LOST).
    std::mutex m_lostMutex;
    std::vector<CCommError> m_lostErrors;
    CTapeSession m_session;
    std::unique_ptr<CRecvProgressDlg> m_pRecvDlg;
    std::unique_ptr<CBlockPane> m_pBlockPane;
    std::wstring m_tipText; // the row tip being shown
    std::optional<CStartPort> m_startPort;
    bool m_bFirstUpdateDone = false;
    bool m_bClosing = false;
};
