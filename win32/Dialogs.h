// SPDX-License-Identifier: GPL-3.0-or-later
// The windows the shell shows besides the main frame: the dialogs of
// relmuth.rc (settings, About, the progress of sending, receiving and
// decoding), the common file dialogs, message boxes with the program's
// title, and the clipboard. The texts come from res/Strings, as UTF-16.
#pragma once

#include "win32/Relmuth.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "res/Strings.h"
#include "serial/CommSettings.h"
#include "serial/PortList.h"
#include "session/EditCommands.h"
#include "tape/TapeFormats.h"

class CTapeSession;
struct CCommError;

// The UTF-16 text of a string id, and of a UTF-8 text.
std::wstring Text(res::StringId id);
std::wstring Wide(std::string_view text);
// A command prompt's two parts: the status bar text, and the tool tip after
// the line feed (empty when there is none).
std::wstring StatusPrompt(res::StringId id);
std::wstring ToolTip(res::StringId id);

// A message box titled "Relmuth"; the button pressed.
int ShowMessageBox(HWND hwndOwner, const std::wstring& text,
                   UINT nType = MB_OK | MB_ICONEXCLAMATION);

// The communication settings dialog (133). Every dialog starts from "COM1"
// and "9600"; beyond COM1 to COM4 the port list offers the ports Windows
// lists (serial/PortNamesWin32). A name or device path may be typed into
// the port box too ("COM12", "\\.\CNCA0"); it is no new entry.
class CCommSettingsDlg {
  public:
    // What DoModal returns for "ポートなしで続ける", offered when bOfferNoPort.
    static constexpr INT_PTR kContinueWithoutPort = 1009;

    explicit CCommSettingsDlg(bool bOfferNoPort = false);
    // IDOK, IDCANCEL or kContinueWithoutPort.
    INT_PTR DoModal(HWND hwndOwner);

    int m_nPortIndex = kDefaultPortIndex;
    int m_nBaudIndex = kDefaultBaudIndex;

    // The chosen port as the user knows it ("COM1", or the text typed), the
    // device the port is opened on, and the speed flag.
    std::string GetPortName() const;
    std::string GetDevicePath() const;
    unsigned GetBaudFlag() const;

  private:
    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND hwnd);

    bool m_bOfferNoPort;
    std::string m_strTyped; // the box's text on OK, when it is none of the entries
    std::vector<CPortEntry> m_ports;
};

// "指定されたポートは使えまへんがな(;_;)", with the port and the system's reason.
void ShowPortUnusableMessage(HWND hwndOwner, const std::string& portName, const CCommError& error);

// The About box (100): its version line is "Relmuth Ver. " and the
// FileVersion of the program file's own version information.
void ShowAboutBox(HWND hwndOwner);
// That line, as the About box shows it.
std::wstring AboutVersionLine();

// The send progress dialog (131), modal: every 100 ms it asks the session
// how far the send is, and closes when it is complete; ちうし cancels it.
void RunSendProgress(HWND hwndOwner, CTapeSession& session);

// The receive progress dialog (132), modeless, owned by the view's frame.
// ちうし (or Escape, or its close box) posts WM_RECV_CANCEL to the view; the
// view's session decides and closes the dialog.
class CRecvProgressDlg {
  public:
    explicit CRecvProgressDlg(HWND hwndView);
    ~CRecvProgressDlg();
    CRecvProgressDlg(const CRecvProgressDlg&) = delete;
    CRecvProgressDlg& operator=(const CRecvProgressDlg&) = delete;

    HWND GetHwnd() const { return m_hwnd; }
    void SetPercent(int nPercent);

  private:
    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hwndView;
    HWND m_hwnd = nullptr;
};

// The decode progress dialog (134) while a recording is read: it shows once
// the decoding has taken a while, disables the frame meanwhile, and lets
// the windows repaint and the port's messages arrive between chunks. Until
// it shows, the user's input waits.
class CDecodeProgressDlg final : public CDecodeProgress {
  public:
    explicit CDecodeProgressDlg(HWND hwndFrame) : m_hwndFrame(hwndFrame) {}
    ~CDecodeProgressDlg() override;

    void Start();
    void Finish();
    bool WasCancelled() const { return m_bCancelled; }
    HWND GetHwnd() const { return m_hwnd; }

    bool OnDecodeProgress(double dFraction) override;

  private:
    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

    HWND m_hwndFrame;
    HWND m_hwnd = nullptr;
    ULONGLONG m_nStartTick = 0;
    bool m_bCancelled = false;
};

// The common file dialog with the tape file filters (Open: tape images, all
// files, T88, recordings; Save: tape images, all files, T88, WAV), default
// extension "kxm", and the flags of tape/TapeFileName.h. strFileName is the
// name it starts from and, on OK, the chosen full path (UTF-8).
bool PromptForTapeFileName(HWND hwndOwner, std::string& strFileName, res::StringId nTitle,
                           unsigned nFlags, bool bOpenFileDialog);

// The clipboard: CF_UNICODETEXT read first, CF_TEXT else; both written.
// The text is kept until the frame hears that the clipboard changed, since
// the update rule of Paste reads it after every change of the selection.
class CWinClipboard final : public CClipboard {
  public:
    void SetOwner(HWND hwnd) { m_hwnd = hwnd; }
    std::string GetText() const override;
    void SetText(const std::string& text) override;
    void OnChanged() { m_text.reset(); }

  private:
    HWND m_hwnd = nullptr;
    mutable std::optional<std::string> m_text;
};
