// SPDX-License-Identifier: GPL-3.0-or-later
// Drives a window program of another process the way a user does, for the
// tests of the Windows program under wine: finds its windows, presses keys
// through the system's input queue, reads its list view and status bar
// (through buffers in the other process, as the common controls write only
// into their own address space), answers its message boxes and takes
// pictures of its windows. Every wait has a limit; nothing blocks for good.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace uitest {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::milliseconds;

// Polls done() until it holds or the limit has passed; says which.
bool WaitFor(const std::function<bool()>& done, Milliseconds limit = 10s);

// A program started for a test, ended when the object goes if it still runs.
class CProgram {
  public:
    CProgram(const std::wstring& strExe, const std::wstring& strArguments);
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    bool IsStarted() const { return m_info.hProcess != nullptr; }
    DWORD GetId() const { return m_info.dwProcessId; }
    HANDLE GetProcess() const { return m_info.hProcess; }
    // True when the program ended within the limit; its exit code then.
    bool WaitExit(Milliseconds limit, DWORD* pnCode = nullptr) const;

  private:
    PROCESS_INFORMATION m_info{};
};

std::wstring WindowText(HWND hWnd);
std::wstring ClassName(HWND hWnd);

// The visible top-level windows of a process, topmost first.
std::vector<HWND> TopWindows(DWORD nProcess);
// The first visible top-level window of the process whose class is
// pszClass (any, when null) and whose title holds strTitle.
HWND FindTopWindow(DWORD nProcess, const wchar_t* pszClass, const std::wstring& strTitle);
HWND WaitTopWindow(DWORD nProcess, const wchar_t* pszClass, const std::wstring& strTitle,
                   Milliseconds limit = 10s);
// The first descendant of the class (any, when null) with the control id
// (any, when -1).
HWND FindChild(HWND hParent, const wchar_t* pszClass, int nId = -1);
// The texts of the visible descendants of a class, in window order.
std::vector<std::wstring> ChildTexts(HWND hParent, const wchar_t* pszClass);

// Brings the window (a control: its top-level window) to the front and
// sends the keys to its focus through the input queue, as a keyboard does:
// a chord is pressed together (the modifiers first) and let go in reverse
// order.
bool Activate(HWND hWnd);
void PressChord(HWND hWnd, std::initializer_list<WORD> keys);
void PressKey(HWND hWnd, WORD nKey);
void TypeText(HWND hWnd, const std::wstring& strText);

// A dialog's button pressed as a click would (BN_CLICKED to the dialog).
void ClickButton(HWND hDialog, int nId);
// The text of a message box (its static texts joined by line feeds).
std::wstring MessageBoxText(HWND hBox);

// The list view in report mode: its rows' texts, column by column, and
// the rows selected.
int ListCount(HWND hList);
std::vector<std::vector<std::wstring>> ListRows(HWND hList, int nColumns);
std::vector<int> ListSelection(HWND hList);
// The status bar's panes; for a pane its owner draws, its tip.
std::vector<std::wstring> StatusTexts(HWND hStatus);
bool IsStatusPaneOwnerDrawn(HWND hStatus, int nPart);
// Whether the pane shows red on the screen (a text drawn in red).
bool IsStatusPaneRed(HWND hStatus, int nPart);

// The window as it is on the screen, with its frame, as a PNG file.
bool SavePicture(HWND hWnd, const std::wstring& strPath);

} // namespace uitest
