// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/Dialogs.h"

// Before <commdlg.h>: the core names the file dialog's flags itself.
#include "res/FormatString.h"
#include "res/WideText.h"
#include "serial/CommPort.h"
#include "serial/PortErrorText.h"
#include "serial/PortNames.h"
#include "session/SendLoader.h"
#include "session/TapeSession.h"
#include "tape/TapeFileName.h"
#include "win32/Relmuth.h"
#include "win32/Resource.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// Each dialog's title is the string of its number.
static_assert(DLG_ABOUTBOX == res::IDD_ABOUTBOX && DLG_SEND_PROGRESS == res::IDD_SEND_PROGRESS &&
              DLG_RECV_PROGRESS == res::IDD_RECV_PROGRESS &&
              DLG_COMM_SETTINGS == res::IDD_COMM_SETTINGS &&
              DLG_DECODE_PROGRESS == res::IDD_DECODE_PROGRESS);

namespace {

constexpr UINT_PTR kSendTimerId = 1;
// How long a decoding runs before its dialog shows.
constexpr ULONGLONG kDecodeShowAfterMs = 400;
// The widest a port entry may open the port list, in dialog units.
constexpr int kPortDropWidthUnits = 160;
// Room for a chosen file name, in UTF-16 units (long names, deep folders).
constexpr DWORD kFileNameChars = 4096;

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

void SetItemText(HWND hwnd, int nId, res::StringId nText) {
    SetDlgItemTextW(hwnd, nId, Text(nText).c_str());
}

void SetBar(HWND hwndDlg, int nPercent) {
    SendDlgItemMessageW(hwndDlg, IDC_PROGRESS, PBM_SETPOS,
                        static_cast<WPARAM>(std::clamp(nPercent, 0, 100)), 0);
}

// A progress dialog's texts: its title, its line and its ちうし.
void InitProgressTexts(HWND hwnd, res::StringId nTitle, res::StringId nLine) {
    SetWindowTextW(hwnd, Text(nTitle).c_str());
    SetItemText(hwnd, IDC_PROGRESS_TEXT, nLine);
    SetItemText(hwnd, IDCANCEL, res::IDS_BUTTON_STOP);
    SendDlgItemMessageW(hwnd, IDC_PROGRESS, PBM_SETRANGE32, 0, 100);
}

template <typename T> T* DialogObject(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, DWLP_USER));
}

} // namespace

std::wstring Text(res::StringId id) {
    return res::WideFromUtf8(res::LoadString(id));
}

std::wstring Wide(std::string_view text) {
    return res::WideFromUtf8(text);
}

std::wstring StatusPrompt(res::StringId id) {
    const std::string_view prompt = res::LoadString(id);
    return Wide(prompt.substr(0, prompt.find('\n')));
}

std::wstring ToolTip(res::StringId id) {
    const std::string_view prompt = res::LoadString(id);
    const auto lf = prompt.find('\n');
    return lf == std::string_view::npos ? std::wstring() : Wide(prompt.substr(lf + 1));
}

int ShowMessageBox(HWND hwndOwner, const std::wstring& text, UINT nType) {
    // A hidden or disabled owner (start-up, a dialog over it) would hide
    // the box or leave it without a window to return to.
    if (hwndOwner != nullptr && (!IsWindowVisible(hwndOwner) || !IsWindowEnabled(hwndOwner)))
        hwndOwner = nullptr;
    return MessageBoxW(hwndOwner, text.c_str(), Text(res::AFX_IDS_APP_TITLE).c_str(),
                       nType | (hwndOwner == nullptr ? MB_TASKMODAL : 0));
}

// --- Communication settings.

static_assert(CCommSettingsDlg::kContinueWithoutPort == IDC_NO_PORT);

CCommSettingsDlg::CCommSettingsDlg(bool bOfferNoPort)
    : m_bOfferNoPort(bOfferNoPort), m_ports(CurrentPortEntries(ListSystemSerialPorts())) {}

INT_PTR CCommSettingsDlg::DoModal(HWND hwndOwner) {
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(DLG_COMM_SETTINGS), hwndOwner, DlgProc,
                           reinterpret_cast<LPARAM>(this));
}

void CCommSettingsDlg::OnInitDialog(HWND hwnd) {
    SetWindowTextW(hwnd, Text(res::IDD_COMM_SETTINGS).c_str());
    SetItemText(hwnd, IDC_PORT_LABEL, res::IDS_COMM_PORT_LABEL);
    SetItemText(hwnd, IDC_BAUD_LABEL, res::IDS_COMM_BAUD_LABEL);
    SetItemText(hwnd, IDOK, res::IDS_BUTTON_OK);
    SetItemText(hwnd, IDCANCEL, res::IDS_BUTTON_CANCEL);
    if (m_bOfferNoPort) {
        SetItemText(hwnd, IDC_NO_PORT, res::IDS_BUTTON_NO_PORT);
        ShowWindow(GetDlgItem(hwnd, IDC_NO_PORT), SW_SHOW);
    } else {
        // Without the button the dialog ends below OK and Cancel.
        RECT button{};
        GetWindowRect(GetDlgItem(hwnd, IDC_NO_PORT), &button);
        RECT frame{};
        GetWindowRect(hwnd, &frame);
        SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top - (button.bottom - button.top) - 6,
                     SWP_NOMOVE | SWP_NOZORDER);
    }
    for (const CPortEntry& entry : m_ports)
        SendDlgItemMessageW(hwnd, IDC_PORT_LIST, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(Wide(entry.strLabel).c_str()));
    RECT drop{0, 0, kPortDropWidthUnits, 0};
    MapDialogRect(hwnd, &drop);
    SendDlgItemMessageW(hwnd, IDC_PORT_LIST, CB_SETDROPPEDWIDTH, drop.right, 0);
    for (int i = 0; i < kBaudListSize; ++i)
        SendDlgItemMessageW(
            hwnd, IDC_BAUD_LIST, CB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(std::to_wstring(BaudRateFromIndex(i)).c_str()));
    SendDlgItemMessageW(hwnd, IDC_PORT_LIST, CB_SETCURSEL, static_cast<WPARAM>(m_nPortIndex), 0);
    SendDlgItemMessageW(hwnd, IDC_BAUD_LIST, CB_SETCURSEL, static_cast<WPARAM>(m_nBaudIndex), 0);
}

INT_PTR CALLBACK CCommSettingsDlg::DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<CCommSettingsDlg*>(lParam)->OnInitDialog(hwnd);
        // A dialog of its own at start-up, before the main window shows.
        SetForegroundWindow(hwnd);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* self = DialogObject<CCommSettingsDlg>(hwnd);
            wchar_t typed[512] = {};
            GetDlgItemTextW(hwnd, IDC_PORT_LIST, typed, static_cast<int>(std::size(typed)));
            CPortChoice choice = ChoosePort(
                self->m_ports,
                static_cast<int>(SendDlgItemMessageW(hwnd, IDC_PORT_LIST, CB_GETCURSEL, 0, 0)),
                res::Utf8FromWide(typed));
            self->m_nPortIndex = choice.nIndex;
            self->m_strTyped = std::move(choice.strTyped);
            self->m_nBaudIndex =
                static_cast<int>(SendDlgItemMessageW(hwnd, IDC_BAUD_LIST, CB_GETCURSEL, 0, 0));
            EndDialog(hwnd, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_NO_PORT) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

std::string CCommSettingsDlg::GetPortName() const {
    if (!m_strTyped.empty())
        return m_strTyped;
    if (m_nPortIndex < 0 || m_nPortIndex >= static_cast<int>(m_ports.size()))
        return m_ports.front().strName;
    return m_ports[static_cast<std::size_t>(m_nPortIndex)].strName;
}

std::string CCommSettingsDlg::GetDevicePath() const {
    return PortDevicePathFromName(GetPortName());
}

unsigned CCommSettingsDlg::GetBaudFlag() const {
    return BaudFlagFromIndex(m_nBaudIndex);
}

void ShowPortUnusableMessage(HWND hwndOwner, const std::string& portName, const CCommError& error) {
    ShowMessageBox(hwndOwner, Text(res::IDS_PORT_UNUSABLE) + L"\n\n" +
                                  Wide(PortOpenErrorDetail(portName, error)));
}

// --- About.

std::wstring AboutVersionLine() {
    std::wstring line = Text(res::IDS_ABOUT_VERSION);
    wchar_t path[MAX_PATH];
    const DWORD nPath = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (nPath == 0 || nPath == MAX_PATH)
        return line;
    DWORD handle = 0;
    const DWORD nSize = GetFileVersionInfoSizeW(path, &handle);
    if (nSize == 0)
        return line;
    std::vector<BYTE> block(nSize);
    void* pValue = nullptr;
    UINT nValue = 0;
    if (GetFileVersionInfoW(path, 0, nSize, block.data()) &&
        VerQueryValueW(block.data(), L"\\StringFileInfo\\041104b0\\FileVersion", &pValue,
                       &nValue) &&
        nValue > 0)
        line += std::wstring(static_cast<const wchar_t*>(pValue), nValue - 1);
    return line;
}

namespace {

INT_PTR CALLBACK AboutProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM) {
    switch (nMsg) {
    case WM_INITDIALOG:
        SetWindowTextW(hwnd, Text(res::IDD_ABOUTBOX).c_str());
        SetDlgItemTextW(hwnd, IDC_ABOUT_VERSION, AboutVersionLine().c_str());
        SetItemText(hwnd, IDC_ABOUT_NOTICE, res::IDS_ABOUT_NOTICE);
        SetItemText(hwnd, IDOK, res::IDS_BUTTON_OK);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(hwnd, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

void ShowAboutBox(HWND hwndOwner) {
    DialogBoxParamW(Instance(), MAKEINTRESOURCEW(DLG_ABOUTBOX), hwndOwner, AboutProc, 0);
}

// --- Sending.

namespace {

INT_PTR CALLBACK SendProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        InitProgressTexts(hwnd, res::IDD_SEND_PROGRESS, res::IDS_SEND_PROGRESS_TEXT);
        SetTimer(hwnd, kSendTimerId, kSendPollMilliseconds, nullptr);
        return TRUE;
    case WM_TIMER: {
        const CTapeSession::CSendProgress progress =
            DialogObject<CTapeSession>(hwnd)->GetSendProgress();
        SetBar(hwnd, progress.nPercent);
        if (progress.bComplete)
            EndDialog(hwnd, IDOK);
        else if (progress.bLinkLost) // the rest would never go
            PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            DialogObject<CTapeSession>(hwnd)->CancelSend();
            EndDialog(hwnd, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_DESTROY:
        KillTimer(hwnd, kSendTimerId);
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

void RunSendProgress(HWND hwndOwner, CTapeSession& session) {
    DialogBoxParamW(Instance(), MAKEINTRESOURCEW(DLG_SEND_PROGRESS), hwndOwner, SendProc,
                    reinterpret_cast<LPARAM>(&session));
}

// --- Receiving.

CRecvProgressDlg::CRecvProgressDlg(HWND hwndView) : m_hwndView(hwndView) {
    m_hwnd = CreateDialogParamW(Instance(), MAKEINTRESOURCEW(DLG_RECV_PROGRESS), hwndView, DlgProc,
                                reinterpret_cast<LPARAM>(this));
    if (m_hwnd != nullptr)
        ShowWindow(m_hwnd, SW_SHOWNORMAL);
}

CRecvProgressDlg::~CRecvProgressDlg() {
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
}

void CRecvProgressDlg::SetPercent(int nPercent) {
    if (m_hwnd != nullptr)
        SetBar(m_hwnd, nPercent);
}

INT_PTR CALLBACK CRecvProgressDlg::DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        InitProgressTexts(hwnd, res::IDD_RECV_PROGRESS, res::IDS_RECV_PROGRESS_TEXT);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            // The view decides; the dialog stays until its session closes it.
            PostMessageW(DialogObject<CRecvProgressDlg>(hwnd)->m_hwndView, WM_RECV_CANCEL, 0, 0);
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

// --- Decoding a recording.

CDecodeProgressDlg::~CDecodeProgressDlg() {
    Finish();
}

void CDecodeProgressDlg::Start() {
    m_bCancelled = false;
    m_nStartTick = GetTickCount64();
}

void CDecodeProgressDlg::Finish() {
    if (m_hwnd == nullptr)
        return;
    EnableWindow(m_hwndFrame, TRUE);
    DestroyWindow(m_hwnd);
    m_hwnd = nullptr;
}

bool CDecodeProgressDlg::OnDecodeProgress(double dFraction) {
    if (m_hwnd == nullptr && !m_bCancelled &&
        GetTickCount64() - m_nStartTick >= kDecodeShowAfterMs) {
        m_hwnd = CreateDialogParamW(Instance(), MAKEINTRESOURCEW(DLG_DECODE_PROGRESS), m_hwndFrame,
                                    DlgProc, reinterpret_cast<LPARAM>(this));
        if (m_hwnd != nullptr) {
            ShowWindow(m_hwnd, SW_SHOWNORMAL);
            EnableWindow(m_hwndFrame, FALSE);
        }
    }
    if (m_hwnd != nullptr)
        SetBar(m_hwnd, static_cast<int>(std::floor(dFraction * 100)));
    // Until the dialog shows, and with it blocks the main window, the
    // user's input waits: no command may run in the middle of an open.
    const UINT nWhich = m_hwnd != nullptr
                            ? PM_REMOVE
                            : PM_REMOVE | PM_QS_POSTMESSAGE | PM_QS_PAINT | PM_QS_SENDMESSAGE;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, nWhich)) {
        if (msg.message == WM_QUIT) {
            // For the main loop, once the reading is over.
            PostQuitMessage(static_cast<int>(msg.wParam));
            m_bCancelled = true;
            break;
        }
        if (m_hwnd != nullptr && IsDialogMessageW(m_hwnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return !m_bCancelled;
}

INT_PTR CALLBACK CDecodeProgressDlg::DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        InitProgressTexts(hwnd, res::IDD_DECODE_PROGRESS, res::IDS_DECODE_PROGRESS_TEXT);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            // The next report stops the decoding; the dialog stays until then.
            DialogObject<CDecodeProgressDlg>(hwnd)->m_bCancelled = true;
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

// --- Files.

bool PromptForTapeFileName(HWND hwndOwner, std::string& strFileName, res::StringId nTitle,
                           unsigned nFlags, bool bOpenFileDialog) {
    // "description\0patterns\0" for every entry, and one more zero.
    std::wstring filter;
    for (const CFileFilter& entry : GetTapeFileFilters(bOpenFileDialog)) {
        filter += Wide(entry.strDescription);
        filter += L'\0';
        filter += Wide(entry.strPattern);
        filter += L'\0';
    }
    filter += L'\0';
    std::wstring buffer = Wide(strFileName);
    buffer.resize(kFileNameChars);
    const std::wstring title = Text(nTitle);
    const std::wstring defaultExtension = Wide(kDefaultTapeExtension);

    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwndOwner;
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = kFileNameChars;
    ofn.lpstrTitle = title.c_str();
    ofn.lpstrDefExt = defaultExtension.c_str();
    ofn.Flags = nFlags | kTapeDialogFixedFlags | OFN_EXPLORER | OFN_NOCHANGEDIR;
    const BOOL bOk = bOpenFileDialog ? GetOpenFileNameW(&ofn) : GetSaveFileNameW(&ofn);
    if (!bOk)
        return false;
    strFileName = res::Utf8FromWide(buffer.c_str());
    return true;
}

// --- Clipboard.

std::string CWinClipboard::GetText() const {
    if (m_text)
        return *m_text;
    std::string text;
    if (OpenClipboard(m_hwnd)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
            if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data)); p != nullptr) {
                text = res::Utf8FromWide(std::wstring_view(p, wcsnlen(p, GlobalSize(data) / 2)));
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    m_text = text;
    return text;
}

namespace {

// The bytes in movable global memory, as the clipboard takes them.
HGLOBAL GlobalCopy(const void* data, std::size_t nBytes) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, nBytes);
    if (memory == nullptr)
        return nullptr;
    if (void* p = GlobalLock(memory); p != nullptr) {
        std::memcpy(p, data, nBytes);
        GlobalUnlock(memory);
        return memory;
    }
    GlobalFree(memory);
    return nullptr;
}

} // namespace

void CWinClipboard::SetText(const std::string& text) {
    m_text.reset();
    if (!OpenClipboard(m_hwnd))
        return;
    EmptyClipboard();
    const std::wstring wide = Wide(text);
    if (HGLOBAL memory = GlobalCopy(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t)))
        if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
            GlobalFree(memory);
    // Transfer text is ASCII; anything else in the system's code page.
    const int nBytes =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (nBytes > 0) {
        std::string ansi(static_cast<std::size_t>(nBytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(), nBytes, nullptr, nullptr);
        if (HGLOBAL memory = GlobalCopy(ansi.data(), ansi.size()))
            if (SetClipboardData(CF_TEXT, memory) == nullptr)
                GlobalFree(memory);
    }
    CloseClipboard();
}
