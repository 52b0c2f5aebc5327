// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: menu bar, accelerators, tool bar and status bar around
// the block list, built from the tables of res/Menu. Every menu item,
// button and key is a command id; the frame hands a command to the view
// first, then handles its own (the bars, the panes), then gives it to the
// application. The same road decides, by each target's update rule, which
// commands are enabled: for a menu as it opens, for the tool bar and a key
// whenever the message queue runs empty.
#pragma once

#include "win32/Relmuth.h"

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

class CCmdTarget;
class CRelmuthView;

// The frame's keys: those of the accelerator table and of the menu texts,
// each key once, in table order.
std::vector<ACCEL> MainAcceleratorEntries();

class CMainFrame {
  public:
    CMainFrame();
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // The window with its menu and bars, hidden; false when any part of it
    // could not be made.
    bool Create();
    HWND GetHwnd() const { return m_hwnd; }
    HMENU GetFileMenu() const { return m_hFileMenu; }

    // The view fills the window and is the first command target; the
    // application is the last.
    void SetView(CRelmuthView* pView);
    void SetAppTarget(CCmdTarget* pApp) { m_pApp = pApp; }
    // Asked before the window closes; false keeps it open.
    void SetCloseQuery(std::function<bool()> query) { m_closeQuery = std::move(query); }
    // A file dropped on the window (UTF-8).
    void SetDropHandler(std::function<void(const std::string&)> handler) {
        m_dropHandler = std::move(handler);
    }

    // Keys of the accelerator table and of a modeless dialog; true when the
    // message was taken.
    bool PreTranslateMessage(MSG& msg);
    // The queue ran empty: the tool bar's states, the key panes.
    void OnIdle();
    // Gives a command to its target, as a menu item or key would, when its
    // update rule enables it.
    void OnCommand(unsigned nId);
    bool IsCommandEnabled(unsigned nId) const;

    // "TITLE - Relmuth", with "*" after the title while the tape has unsaved
    // changes.
    void SetDocumentTitle(const std::string& strTitle, bool bModified);
    // The File menu's entries of the recent files, newest first, as shown.
    void SetRecentFiles(const std::vector<std::string>& texts);
    // The serial line went away: said in red in the status bar until a port
    // opens again.
    void ShowLinkLost(const std::string& strReason);
    void ClearLinkLost();
    // The link's state (what to type on the PC-8801, or that there is no
    // port; empty while the line is lost) and the tape's, in panes of their own.
    void SetStatusTexts(const std::wstring& strLink, const std::wstring& strTape);

  private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    bool CreateMenuBar();
    bool CreateAccelerators();
    bool CreateToolBar();
    bool CreateStatusBar();
    void RecalcLayout();
    void OnInitMenuPopup(HMENU hMenu);
    void OnMenuSelect(UINT nItem, UINT nFlags, HMENU hMenu);
    LRESULT OnNotify(NMHDR* pHeader);
    void OnDropFiles(HDROP hDrop);
    static LRESULT CALLBACK StatusBarProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                          UINT_PTR nId, DWORD_PTR pThis);
    void DrawLinkLost();
    // The block pane below the list, when the view has one and it is shown.
    HWND ShownPaneHwnd() const;
    // The bar between the list and the pane that the mouse drags.
    RECT SplitterRect() const;
    bool OnSplitterMouse(UINT nMsg, LPARAM lParam);
    void MoveFocusToNextPane();
    bool OnFrameCmdMsg(unsigned nId);
    bool OnFrameUpdateCmdUi(unsigned nId, bool& bEnable) const;
    void SetMessageText(const std::wstring& text);
    // The message pane's resting text: "レディ", or the lost link in red.
    void ShowIdleMessage();
    void UpdateKeyPanes();
    // The width of a pane for the text, in the status bar's font; 0 for none.
    int TextWidth(const std::wstring& text) const;
    void ToggleBar(HWND hwndBar);

    HWND m_hwnd = nullptr;
    HWND m_hwndToolBar = nullptr;
    HWND m_hwndStatusBar = nullptr;
    HMENU m_hMenu = nullptr;
    HMENU m_hFileMenu = nullptr;
    HACCEL m_hAccel = nullptr;
    HIMAGELIST m_hImages = nullptr;
    HIMAGELIST m_hDisabledImages = nullptr;
    CRelmuthView* m_pView = nullptr;
    CCmdTarget* m_pApp = nullptr;
    std::function<bool()> m_closeQuery;
    std::function<void(const std::string&)> m_dropHandler;
    std::wstring m_tipText;        // the tool tip being shown
    std::wstring m_strLinkLost;    // what the message pane says in red; empty while the link is up
    std::wstring m_keyPaneText[4]; // what the key panes show now
    int m_keyPaneWidth[4] = {};
    std::wstring m_strLinkStatus;
    std::wstring m_strTapeStatus;
    int m_nPaneHeight = 0; // the block pane's, once shown; 0 before
    bool m_bDraggingSplitter = false;
    bool m_bInMenu = false;
    bool m_bShowingLinkLost = false; // the message pane shows m_strLinkLost, in red
};
