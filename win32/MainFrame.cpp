// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/MainFrame.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <utility>

#include "res/Menu.h"
#include "res/Strings.h"
#include "res/WideText.h"
#include "session/CommandTarget.h"
#include "win32/Dialogs.h"
#include "win32/Relmuth.h"
#include "win32/RelmuthView.h"
#include "win32/Resource.h"

namespace {

constexpr UINT_PTR kKeyStateTimerId = 1;
constexpr UINT kKeyStatePollMs = 250;
constexpr int kButtonSize = 16;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 400;
// The bar between the list and the block pane, and the least either keeps.
constexpr int kSplitterSize = 5;
constexpr int kLeastPaneHeight = 40;

// The key panes, right of the message pane, and the key each shows.
constexpr std::array<res::StringId, 4> kKeyPanes = {res::ID_INDICATOR_KANA, res::ID_INDICATOR_CAPS,
                                                    res::ID_INDICATOR_NUM, res::ID_INDICATOR_SCRL};
constexpr std::array<int, 4> kKeyPaneKeys = {VK_KANA, VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
// The status bar's parts: the message pane, the link's and the tape's state, the keys.
constexpr std::size_t kLinkPane = 1;
constexpr std::size_t kTapePane = 2;
constexpr std::size_t kFirstKeyPane = 3;

bool IsRecentFileCommand(unsigned nId) {
    return nId >= res::ID_FILE_MRU_FILE1 && nId < res::ID_FILE_MRU_FILE1 + res::kRecentFileCount;
}

// The virtual key of a key name of the accelerator table; 0 for a name
// this window does not know.
WORD VirtualKey(std::string_view key) {
    if (key.size() == 1) {
        const char c = key.front();
        if (c >= 'a' && c <= 'z')
            return static_cast<WORD>(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return static_cast<WORD>(c);
        return 0;
    }
    if (key == "Ins" || key == "Insert")
        return VK_INSERT;
    if (key == "Del" || key == "Delete")
        return VK_DELETE;
    if (key.size() <= 3 && key.front() == 'F') {
        int n = 0;
        for (const char c : key.substr(1)) {
            if (c < '0' || c > '9')
                return 0;
            n = n * 10 + (c - '0');
        }
        return n >= 1 && n <= 24 ? static_cast<WORD>(VK_F1 + n - 1) : 0;
    }
    return 0;
}

bool AddAccelerator(std::vector<ACCEL>& table, std::string_view name, unsigned nCommand) {
    const res::KeyChord chord = res::ParseKeyChord(name);
    const WORD nKey = chord.bValid ? VirtualKey(chord.key) : 0;
    if (nKey == 0)
        return false;
    const BYTE nFlags = static_cast<BYTE>(FVIRTKEY | (chord.bCtrl ? FCONTROL : 0) |
                                          (chord.bShift ? FSHIFT : 0) | (chord.bAlt ? FALT : 0));
    for (const ACCEL& accel : table) {
        if (accel.fVirt == nFlags && accel.key == nKey)
            return true;
    }
    table.push_back({nFlags, nKey, static_cast<WORD>(nCommand)});
    return true;
}

} // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() {
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
    if (m_hAccel != nullptr)
        DestroyAcceleratorTable(m_hAccel);
    if (m_hImages != nullptr)
        ImageList_Destroy(m_hImages);
    if (m_hDisabledImages != nullptr)
        ImageList_Destroy(m_hDisabledImages);
}

bool CMainFrame::Create() {
    const HINSTANCE hInstance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_MAINFRAME));
    wc.hIconSm = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_MAINFRAME),
                                               IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFrameClassName;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    if (!CreateMenuBar() || !CreateAccelerators())
        return false;
    const std::wstring title = Text(res::AFX_IDS_UNTITLED) + L" - " + Text(res::AFX_IDS_APP_TITLE);
    m_hwnd = CreateWindowExW(WS_EX_ACCEPTFILES, kFrameClassName, title.c_str(),
                             WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                             kDefaultWidth, kDefaultHeight, nullptr, m_hMenu, hInstance, this);
    return m_hwnd != nullptr && m_hwndToolBar != nullptr && m_hwndStatusBar != nullptr;
}

bool CMainFrame::CreateMenuBar() {
    m_hMenu = CreateMenu();
    if (m_hMenu == nullptr)
        return false;
    for (const res::MenuPopup& popup : res::MainMenu()) {
        HMENU hPopup = CreatePopupMenu();
        for (const res::MenuItem& item : popup.items) {
            if (item.nCommand == res::ID_SEPARATOR) {
                AppendMenuW(hPopup, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            // The key after the tab is shown at the right edge, as written.
            AppendMenuW(hPopup, MF_STRING, item.nCommand, Wide(item.text).c_str());
            if (item.nCommand == res::ID_FILE_MRU_FILE1)
                m_hFileMenu = hPopup;
        }
        AppendMenuW(m_hMenu, MF_POPUP, reinterpret_cast<UINT_PTR>(hPopup),
                    Wide(popup.text).c_str());
    }
    return m_hFileMenu != nullptr;
}

std::vector<ACCEL> MainAcceleratorEntries() {
    // The table's keys, and the key each menu text shows, once each.
    std::vector<ACCEL> table;
    for (const res::Accelerator& accel : res::MainAccelerators())
        AddAccelerator(table, accel.key, accel.nCommand);
    for (const res::MenuPopup& popup : res::MainMenu()) {
        for (const res::MenuItem& item : popup.items) {
            if (const auto key = res::MenuItemKey(item.text); !key.empty())
                AddAccelerator(table, key, item.nCommand);
        }
    }
    return table;
}

bool CMainFrame::CreateAccelerators() {
    std::vector<ACCEL> table = MainAcceleratorEntries();
    m_hAccel = CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
    return m_hAccel != nullptr;
}

bool CMainFrame::CreateToolBar() {
    const HINSTANCE hInstance = GetModuleHandleW(nullptr);
    m_hwndToolBar = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0, 0, 0, m_hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBarId)), hInstance, nullptr);
    if (m_hwndToolBar == nullptr)
        return false;
    SendMessageW(m_hwndToolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);

    // The strip holds one picture per button, in the tool bar's order.
    m_hImages = ImageList_Create(kButtonSize, kButtonSize, ILC_COLOR32, 16, 0);
    HBITMAP hStrip = static_cast<HBITMAP>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDB_TOOLBAR),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (m_hImages == nullptr || hStrip == nullptr)
        return false;
    ImageList_Add(m_hImages, hStrip, nullptr);
    // The same pictures in gray, faded, for the buttons of commands not
    // offered now.
    m_hDisabledImages = ImageList_Create(kButtonSize, kButtonSize, ILC_COLOR32, 16, 0);
    DIBSECTION dib{};
    if (m_hDisabledImages != nullptr && GetObjectW(hStrip, sizeof dib, &dib) == sizeof dib &&
        dib.dsBm.bmBitsPixel == 32 && dib.dsBm.bmBits != nullptr) {
        auto* pixels = static_cast<BYTE*>(dib.dsBm.bmBits);
        const std::size_t nPixels = static_cast<std::size_t>(dib.dsBm.bmWidth) *
                                    static_cast<std::size_t>(dib.dsBm.bmHeight);
        for (std::size_t i = 0; i < nPixels; ++i) {
            BYTE* p = pixels + 4 * i; // blue, green, red, alpha
            const BYTE gray = static_cast<BYTE>((p[0] * 29 + p[1] * 150 + p[2] * 77) >> 8);
            p[0] = p[1] = p[2] = static_cast<BYTE>(gray / 2 + 0x60);
            p[3] = static_cast<BYTE>(p[3] / 2);
        }
        ImageList_Add(m_hDisabledImages, hStrip, nullptr);
    }
    DeleteObject(hStrip);
    SendMessageW(m_hwndToolBar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_hImages));
    if (m_hDisabledImages != nullptr)
        SendMessageW(m_hwndToolBar, TB_SETDISABLEDIMAGELIST, 0,
                     reinterpret_cast<LPARAM>(m_hDisabledImages));

    std::vector<TBBUTTON> buttons;
    int nImage = 0;
    for (const res::StringId nId : res::MainToolBar()) {
        TBBUTTON button{};
        if (nId == res::ID_SEPARATOR) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = nImage++;
            button.idCommand = static_cast<int>(nId);
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(button);
    }
    // A strip that does not match the buttons is a build gone wrong.
    if (ImageList_GetImageCount(m_hImages) != nImage)
        return false;
    SendMessageW(m_hwndToolBar, TB_ADDBUTTONSW, buttons.size(),
                 reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageW(m_hwndToolBar, TB_AUTOSIZE, 0, 0);
    return true;
}

bool CMainFrame::CreateStatusBar() {
    m_hwndStatusBar = CreateWindowExW(
        0, STATUSCLASSNAMEW, nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP | SBARS_TOOLTIPS, 0, 0,
        0, 0, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarId)),
        GetModuleHandleW(nullptr), nullptr);
    if (m_hwndStatusBar == nullptr)
        return false;
    SetWindowSubclass(m_hwndStatusBar, StatusBarProc, 1, reinterpret_cast<DWORD_PTR>(this));
    // Each key pane keeps the width of its text while blank.
    for (std::size_t i = 0; i < kKeyPanes.size(); ++i)
        m_keyPaneWidth[i] = TextWidth(Text(kKeyPanes[i]));
    ShowIdleMessage();
    return true;
}

int CMainFrame::TextWidth(const std::wstring& text) const {
    if (text.empty())
        return 0;
    HDC hdc = GetDC(m_hwndStatusBar);
    const HGDIOBJ hOldFont =
        SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageW(m_hwndStatusBar, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(hdc, &metrics);
    SIZE size{};
    GetTextExtentPoint32W(hdc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(hdc, hOldFont);
    ReleaseDC(m_hwndStatusBar, hdc);
    return size.cx + 2 * metrics.tmAveCharWidth;
}

void CMainFrame::SetStatusTexts(const std::wstring& strLink, const std::wstring& strTape) {
    if (strLink == m_strLinkStatus && strTape == m_strTapeStatus)
        return;
    m_strLinkStatus = strLink;
    m_strTapeStatus = strTape;
    RecalcLayout();
}

void CMainFrame::SetView(CRelmuthView* pView) {
    m_pView = pView;
    RecalcLayout();
}

void CMainFrame::RecalcLayout() {
    RECT client{};
    GetClientRect(m_hwnd, &client);
    int nTop = 0;
    int nBottom = client.bottom;
    if (m_hwndToolBar != nullptr && IsWindowVisible(m_hwndToolBar)) {
        SendMessageW(m_hwndToolBar, TB_AUTOSIZE, 0, 0);
        RECT bar{};
        GetWindowRect(m_hwndToolBar, &bar);
        nTop = bar.bottom - bar.top;
    }
    if (m_hwndStatusBar != nullptr) {
        SendMessageW(m_hwndStatusBar, WM_SIZE, 0, 0);
        // The message, the link's and the tape's state, then the key panes.
        constexpr std::size_t nParts = kFirstKeyPane + kKeyPanes.size();
        int widths[nParts] = {};
        widths[kLinkPane] = TextWidth(m_strLinkStatus);
        widths[kTapePane] = TextWidth(m_strTapeStatus);
        for (std::size_t i = 0; i < kKeyPanes.size(); ++i)
            widths[kFirstKeyPane + i] = m_keyPaneWidth[i];
        int edges[nParts];
        // The size grip takes the right corner.
        int nRight = client.right - GetSystemMetrics(SM_CXVSCROLL);
        for (std::size_t i = nParts - 1; i > 0; --i) {
            edges[i] = nRight;
            nRight -= widths[i];
        }
        edges[nParts - 1] = -1;
        edges[0] = std::max(nRight, 0);
        SendMessageW(m_hwndStatusBar, SB_SETPARTS, nParts, reinterpret_cast<LPARAM>(edges));
        SendMessageW(m_hwndStatusBar, SB_SETTEXTW, kLinkPane,
                     reinterpret_cast<LPARAM>(m_strLinkStatus.c_str()));
        SendMessageW(m_hwndStatusBar, SB_SETTEXTW, kTapePane,
                     reinterpret_cast<LPARAM>(m_strTapeStatus.c_str()));
        for (std::size_t i = 0; i < kKeyPanes.size(); ++i)
            SendMessageW(m_hwndStatusBar, SB_SETTEXTW, kFirstKeyPane + i,
                         reinterpret_cast<LPARAM>(m_keyPaneText[i].c_str()));
        if (IsWindowVisible(m_hwndStatusBar)) {
            RECT bar{};
            GetWindowRect(m_hwndStatusBar, &bar);
            nBottom -= bar.bottom - bar.top;
        }
    }
    if (m_pView == nullptr || m_pView->GetHwnd() == nullptr)
        return;
    int nListBottom = nBottom;
    if (const HWND hwndPane = ShownPaneHwnd()) {
        // The pane keeps the height the user gave it, as far as the window allows.
        const int nRoom = std::max(nBottom - nTop - kSplitterSize, 0);
        if (m_nPaneHeight <= 0)
            m_nPaneHeight = nRoom * 2 / 5;
        const int nLeast = std::min(kLeastPaneHeight, nRoom / 2);
        const int nHeight = std::clamp(m_nPaneHeight, nLeast, nRoom - nLeast);
        nListBottom = nBottom - nHeight - kSplitterSize;
        MoveWindow(hwndPane, 0, nBottom - nHeight, client.right, std::max(nHeight, 0), TRUE);
    }
    MoveWindow(m_pView->GetHwnd(), 0, nTop, client.right, std::max(nListBottom - nTop, 0), TRUE);
}

HWND CMainFrame::ShownPaneHwnd() const {
    const CBlockPane* pPane = m_pView != nullptr ? m_pView->GetBlockPane() : nullptr;
    return pPane != nullptr && pPane->IsShown() ? pPane->GetHwnd() : nullptr;
}

RECT CMainFrame::SplitterRect() const {
    RECT bar{};
    const HWND hwndPane = ShownPaneHwnd();
    if (hwndPane == nullptr)
        return bar;
    RECT pane{};
    GetWindowRect(hwndPane, &pane);
    MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&pane), 2);
    GetClientRect(m_hwnd, &bar);
    bar.top = pane.top - kSplitterSize;
    bar.bottom = pane.top;
    return bar;
}

bool CMainFrame::OnSplitterMouse(UINT nMsg, LPARAM lParam) {
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (nMsg) {
    case WM_LBUTTONDOWN: {
        const RECT bar = SplitterRect();
        if (!PtInRect(&bar, point))
            return false;
        m_bDraggingSplitter = true;
        SetCapture(m_hwnd);
        return true;
    }
    case WM_MOUSEMOVE:
        if (!m_bDraggingSplitter)
            return false;
        if (const HWND hwndPane = ShownPaneHwnd()) {
            RECT pane{};
            GetWindowRect(hwndPane, &pane);
            MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&pane), 2);
            m_nPaneHeight = pane.bottom - point.y - kSplitterSize / 2;
            RecalcLayout();
        }
        return true;
    case WM_LBUTTONUP:
        if (!m_bDraggingSplitter)
            return false;
        m_bDraggingSplitter = false;
        ReleaseCapture();
        return true;
    default:
        return false;
    }
}

void CMainFrame::MoveFocusToNextPane() {
    // Two panes at most: the list, and the block pane while it is shown.
    if (m_pView == nullptr)
        return;
    const HWND hwndPane = ShownPaneHwnd();
    const HWND hwndFocus = GetFocus();
    if (hwndPane != nullptr && (hwndFocus == m_pView->GetHwnd() || !IsChild(hwndPane, hwndFocus)))
        SetFocus(m_pView->GetBlockPane()->GetTextHwnd());
    else
        SetFocus(m_pView->GetHwnd());
}

bool CMainFrame::PreTranslateMessage(MSG& msg) {
    if (m_pView != nullptr) {
        if (HWND hwndDlg = m_pView->GetRecvDlg();
            hwndDlg != nullptr && IsDialogMessageW(hwndDlg, &msg))
            return true;
    }
    if (m_hwnd == nullptr || !IsWindowEnabled(m_hwnd))
        return false;
    // Keys for the frame and its children only.
    if (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))
        return false;
    return TranslateAcceleratorW(m_hwnd, m_hAccel, &msg) != 0;
}

void CMainFrame::OnIdle() {
    if (m_hwnd == nullptr)
        return;
    for (const res::StringId nId : res::MainToolBar()) {
        if (nId == res::ID_SEPARATOR)
            continue;
        const bool bEnable = IsCommandEnabled(nId);
        const bool bShown = SendMessageW(m_hwndToolBar, TB_ISBUTTONENABLED, nId, 0) != 0;
        if (bEnable != bShown)
            SendMessageW(m_hwndToolBar, TB_ENABLEBUTTON, nId,
                         MAKELPARAM(bEnable ? TRUE : FALSE, 0));
    }
    UpdateKeyPanes();
}

void CMainFrame::UpdateKeyPanes() {
    for (std::size_t i = 0; i < kKeyPanes.size(); ++i) {
        const bool bOn = (GetKeyState(kKeyPaneKeys[i]) & 1) != 0;
        std::wstring text = bOn ? Text(kKeyPanes[i]) : std::wstring();
        if (text == m_keyPaneText[i])
            continue;
        m_keyPaneText[i] = std::move(text);
        SendMessageW(m_hwndStatusBar, SB_SETTEXTW, kFirstKeyPane + i,
                     reinterpret_cast<LPARAM>(m_keyPaneText[i].c_str()));
    }
}

bool CMainFrame::IsCommandEnabled(unsigned nId) const {
    bool bEnable = true;
    if (!(m_pView && m_pView->OnUpdateCmdUi(nId, bEnable)) && !OnFrameUpdateCmdUi(nId, bEnable) &&
        m_pApp)
        m_pApp->OnUpdateCmdUi(nId, bEnable);
    return bEnable;
}

void CMainFrame::OnCommand(unsigned nId) {
    if (!IsCommandEnabled(nId))
        return;
    if (!(m_pView && m_pView->OnCmdMsg(nId)) && !OnFrameCmdMsg(nId) && m_pApp)
        m_pApp->OnCmdMsg(nId);
}

bool CMainFrame::OnFrameCmdMsg(unsigned nId) {
    switch (nId) {
    case res::ID_VIEW_TOOLBAR:
        ToggleBar(m_hwndToolBar);
        return true;
    case res::ID_VIEW_STATUS_BAR:
        ToggleBar(m_hwndStatusBar);
        return true;
    case res::ID_VIEW_BLOCK_PANE:
        if (CBlockPane* pPane = m_pView != nullptr ? m_pView->GetBlockPane() : nullptr) {
            const bool bShow = !pPane->IsShown();
            pPane->Show(bShow);
            if (!bShow && IsChild(pPane->GetHwnd(), GetFocus()))
                SetFocus(m_pView->GetHwnd());
            RecalcLayout();
        }
        return true;
    case res::ID_NEXT_PANE:
    case res::ID_PREV_PANE:
        MoveFocusToNextPane();
        return true;
    default:
        return false;
    }
}

bool CMainFrame::OnFrameUpdateCmdUi(unsigned nId, bool& bEnable) const {
    switch (nId) {
    case res::ID_VIEW_BLOCK_PANE:
        bEnable = m_pView != nullptr && m_pView->GetBlockPane() != nullptr;
        return true;
    case res::ID_VIEW_TOOLBAR:
    case res::ID_VIEW_STATUS_BAR:
    case res::ID_NEXT_PANE:
    case res::ID_PREV_PANE:
        bEnable = true;
        return true;
    default:
        return false;
    }
}

void CMainFrame::ToggleBar(HWND hwndBar) {
    ShowWindow(hwndBar, IsWindowVisible(hwndBar) ? SW_HIDE : SW_SHOW);
    RecalcLayout();
}

void CMainFrame::SetDocumentTitle(const std::string& strTitle, bool bModified) {
    const std::wstring title =
        Wide(strTitle) + (bModified ? L"*" : L"") + L" - " + Text(res::AFX_IDS_APP_TITLE);
    wchar_t shown[512] = {};
    GetWindowTextW(m_hwnd, shown, static_cast<int>(std::size(shown)));
    if (title != shown)
        SetWindowTextW(m_hwnd, title.c_str());
}

void CMainFrame::SetRecentFiles(const std::vector<std::string>& texts) {
    // The entries stand where the File menu has its placeholder.
    int nPosition = -1;
    const int nCount = GetMenuItemCount(m_hFileMenu);
    for (int i = 0; i < nCount && nPosition < 0; ++i) {
        if (IsRecentFileCommand(GetMenuItemID(m_hFileMenu, i)))
            nPosition = i;
    }
    if (nPosition < 0)
        return;
    for (int i = 0; i < res::kRecentFileCount; ++i)
        DeleteMenu(m_hFileMenu, res::ID_FILE_MRU_FILE1 + i, MF_BYCOMMAND);
    if (texts.empty()) {
        std::wstring placeholder;
        for (const res::MenuItem& item : res::MainMenu().front().items) {
            if (item.nCommand == res::ID_FILE_MRU_FILE1)
                placeholder = Wide(item.text);
        }
        InsertMenuW(m_hFileMenu, nPosition, MF_BYPOSITION | MF_STRING | MF_GRAYED,
                    res::ID_FILE_MRU_FILE1, placeholder.c_str());
        return;
    }
    for (int i = 0; i < static_cast<int>(texts.size()) && i < res::kRecentFileCount; ++i)
        InsertMenuW(m_hFileMenu, nPosition + i, MF_BYPOSITION | MF_STRING,
                    res::ID_FILE_MRU_FILE1 + i, Wide(texts[static_cast<std::size_t>(i)]).c_str());
}

void CMainFrame::ShowLinkLost(const std::string& strReason) {
    m_strLinkLost = Text(res::IDS_PORT_LOST);
    if (!strReason.empty())
        m_strLinkLost += L" (" + Wide(strReason) + L")";
    m_strLinkLost += L" " + Text(res::IDS_PORT_REOPEN_HINT);
    if (!m_bInMenu)
        ShowIdleMessage();
}

void CMainFrame::ClearLinkLost() {
    m_strLinkLost.clear();
    if (!m_bInMenu)
        ShowIdleMessage();
}

void CMainFrame::SetMessageText(const std::wstring& text) {
    if (text != m_strLinkLost)
        m_bShowingLinkLost = false;
    SendMessageW(m_hwndStatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    InvalidateRect(m_hwndStatusBar, nullptr, TRUE);
}

void CMainFrame::ShowIdleMessage() {
    m_bShowingLinkLost = !m_strLinkLost.empty();
    SetMessageText(m_bShowingLinkLost ? m_strLinkLost : Text(res::AFX_IDS_IDLEMESSAGE));
}

LRESULT CALLBACK CMainFrame::StatusBarProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR pThis) {
    const LRESULT result = DefSubclassProc(hwnd, nMsg, wParam, lParam);
    auto* self = reinterpret_cast<CMainFrame*>(pThis);
    if (nMsg == WM_PAINT && self->m_bShowingLinkLost)
        self->DrawLinkLost();
    else if (nMsg == WM_NCDESTROY)
        RemoveWindowSubclass(hwnd, StatusBarProc, 1);
    return result;
}

void CMainFrame::DrawLinkLost() {
    // The pane keeps its text, as the status bar drew it, for whoever
    // reads it; it is drawn again over that, in red.
    RECT rect{};
    SendMessageW(m_hwndStatusBar, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&rect));
    InflateRect(&rect, -1, -1);
    HDC hdc = GetDC(m_hwndStatusBar);
    FillRect(hdc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    const HGDIOBJ hOldFont =
        SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageW(m_hwndStatusBar, WM_GETFONT, 0, 0)));
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(0xFF, 0, 0));
    rect.left += 2;
    DrawTextW(hdc, m_strLinkLost.c_str(), static_cast<int>(m_strLinkLost.size()), &rect,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(hdc, hOldFont);
    ReleaseDC(m_hwndStatusBar, hdc);
}

void CMainFrame::OnInitMenuPopup(HMENU hMenu) {
    const int nCount = GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; ++i) {
        const UINT nId = GetMenuItemID(hMenu, i);
        if (nId == 0 || nId == static_cast<UINT>(-1))
            continue; // a separator or a submenu
        EnableMenuItem(hMenu, nId, MF_BYCOMMAND | (IsCommandEnabled(nId) ? MF_ENABLED : MF_GRAYED));
    }
    CheckMenuItem(hMenu, res::ID_VIEW_TOOLBAR,
                  MF_BYCOMMAND | (IsWindowVisible(m_hwndToolBar) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(hMenu, res::ID_VIEW_STATUS_BAR,
                  MF_BYCOMMAND | (IsWindowVisible(m_hwndStatusBar) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(hMenu, res::ID_VIEW_BLOCK_PANE,
                  MF_BYCOMMAND | (ShownPaneHwnd() != nullptr ? MF_CHECKED : MF_UNCHECKED));
}

void CMainFrame::OnMenuSelect(UINT nItem, UINT nFlags, HMENU hMenu) {
    if (nFlags == 0xFFFF && hMenu == nullptr) {
        m_bInMenu = false;
        ShowIdleMessage();
        return;
    }
    m_bInMenu = true;
    if ((nFlags & (MF_POPUP | MF_SEPARATOR)) != 0 || nItem == 0) {
        SetMessageText(std::wstring());
        return;
    }
    // Every recent file has the prompt of the first.
    const unsigned nId = IsRecentFileCommand(nItem) ? res::ID_FILE_MRU_FILE1 : nItem;
    SetMessageText(StatusPrompt(static_cast<res::StringId>(nId)));
}

LRESULT CMainFrame::OnNotify(NMHDR* pHeader) {
    if (m_pView != nullptr && pHeader->hwndFrom == m_pView->GetHwnd())
        return m_pView->OnNotify(pHeader);
    if (pHeader->code == TTN_GETDISPINFOW) {
        auto* pInfo = reinterpret_cast<NMTTDISPINFOW*>(pHeader);
        m_tipText = ToolTip(static_cast<res::StringId>(pHeader->idFrom));
        pInfo->lpszText = m_tipText.data();
        return 0;
    }
    if (pHeader->hwndFrom == m_hwndToolBar && pHeader->code == TBN_HOTITEMCHANGE) {
        // The prompt of the button under the mouse, as a menu item's.
        const auto* pHot = reinterpret_cast<const NMTBHOTITEM*>(pHeader);
        if ((pHot->dwFlags & HICF_LEAVING) != 0 || pHot->idNew == 0)
            ShowIdleMessage();
        else
            SetMessageText(StatusPrompt(static_cast<res::StringId>(pHot->idNew)));
        return 0;
    }
    return 0;
}

void CMainFrame::OnDropFiles(HDROP hDrop) {
    // The first file, as a File > Open of it.
    std::wstring path;
    if (DragQueryFileW(hDrop, 0xFFFFFFFF, nullptr, 0) > 0) {
        path.resize(DragQueryFileW(hDrop, 0, nullptr, 0) + 1);
        path.resize(DragQueryFileW(hDrop, 0, path.data(), static_cast<UINT>(path.size())));
    }
    DragFinish(hDrop);
    if (path.empty() || !m_dropHandler)
        return;
    SetForegroundWindow(m_hwnd);
    m_dropHandler(res::Utf8FromWide(path));
}

LRESULT CALLBACK CMainFrame::WndProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_NCCREATE) {
        auto* self =
            static_cast<CMainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, nMsg, wParam, lParam);
    return self->OnMessage(nMsg, wParam, lParam);
}

LRESULT CMainFrame::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_CREATE:
        if (!CreateToolBar() || !CreateStatusBar())
            return -1;
        AddClipboardFormatListener(m_hwnd);
        SetTimer(m_hwnd, kKeyStateTimerId, kKeyStatePollMs, nullptr);
        return 0;
    case WM_SIZE:
        RecalcLayout();
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == m_hwnd && LOWORD(lParam) == HTCLIENT) {
            POINT point{};
            GetCursorPos(&point);
            ScreenToClient(m_hwnd, &point);
            const RECT bar = SplitterRect();
            if (PtInRect(&bar, point)) {
                SetCursor(LoadCursorW(nullptr, IDC_SIZENS));
                return TRUE;
            }
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        if (OnSplitterMouse(nMsg, lParam))
            return 0;
        break;
    case WM_CAPTURECHANGED:
        m_bDraggingSplitter = false;
        return 0;
    case WM_SETFOCUS:
        if (m_pView != nullptr && m_pView->GetHwnd() != nullptr)
            SetFocus(m_pView->GetHwnd());
        return 0;
    case WM_COMMAND:
        // Menu items, keys and tool bar buttons; no other child sends any.
        if (lParam == 0 || reinterpret_cast<HWND>(lParam) == m_hwndToolBar)
            OnCommand(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam) == 0)
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return 0;
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
        if (wParam == kKeyStateTimerId) {
            UpdateKeyPanes();
            return 0;
        }
        break;
    case WM_CLIPBOARDUPDATE:
        if (m_pView != nullptr)
            m_pView->OnClipboardChanged();
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        if (m_closeQuery && !m_closeQuery())
            return 0;
        DestroyWindow(m_hwnd);
        return 0;
    case WM_DESTROY:
        KillTimer(m_hwnd, kKeyStateTimerId);
        RemoveClipboardFormatListener(m_hwnd);
        if (m_pView != nullptr)
            m_pView->OnDestroy();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY: {
        const HWND hwnd = std::exchange(m_hwnd, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcW(hwnd, nMsg, wParam, lParam);
    }
    default:
        break;
    }
    return DefWindowProcW(m_hwnd, nMsg, wParam, lParam);
}
