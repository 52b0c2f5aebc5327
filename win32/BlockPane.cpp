// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/BlockPane.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

#include "res/WideText.h"
#include "win32/Dialogs.h"

namespace {

constexpr wchar_t kPaneClassName[] = L"RelmuthBlockPane";
constexpr int kViewsId = 1;
constexpr int kNoteId = 2;
constexpr int kTextId = 3;
constexpr int kMargin = 2;
constexpr COLORREF kMarkedGround = RGB(255, 176, 176);
// Room for the dump of the longest block (the rich edit control's own
// limit is 32K characters).
constexpr LPARAM kTextLimit = 64 * 1024 * 1024;
// Fixed fonts with Japanese glyphs: Windows' own, then those wine or a
// Linux desktop offers it.
constexpr const wchar_t* kPaneFonts[] = {L"MS Gothic", L"ＭＳ ゴシック", L"IPAGothic",
                                         L"Noto Sans Mono CJK JP"};

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// The text as an edit control shows its lines: CR LF between them.
std::wstring WithCrLf(const std::string& text) {
    std::wstring wide = res::WideFromUtf8(text);
    std::wstring shown;
    shown.reserve(wide.size() + wide.size() / 32);
    for (const wchar_t c : wide) {
        if (c == L'\n')
            shown += L'\r';
        shown += c;
    }
    return shown;
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace

CBlockPane::CBlockPane(CRelmuthDoc& doc, const std::vector<CDamagedByte>& damage)
    : m_doc(doc), m_model(doc, damage) {
    m_doc.AddView(this);
}

CBlockPane::~CBlockPane() {
    m_doc.RemoveView(this);
    if (m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
    if (m_hFont != nullptr)
        DeleteObject(m_hFont);
    if (m_hRichEdit != nullptr)
        FreeLibrary(m_hRichEdit);
}

bool CBlockPane::Create(HWND hwndParent) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kPaneClassName;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    m_hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kPaneClassName, Text(res::IDS_PANE_TITLE).c_str(),
                             WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, hwndParent, nullptr,
                             Instance(), this);
    return m_hwnd != nullptr && m_hwndText != nullptr;
}

bool CBlockPane::CreateChildren() {
    const auto hGuiFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    m_hwndViews = CreateWindowExW(
        0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
        0, 0, 0, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewsId)), Instance(),
        nullptr);
    m_hwndNote = CreateWindowExW(0, WC_STATICW, L"", WS_CHILD | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0,
                                 m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kNoteId)),
                                 Instance(), nullptr);
    // A rich edit control marks bytes on a ground of their own; without
    // one the text is shown all the same.
    const wchar_t* textClass = WC_EDITW;
    if ((m_hRichEdit = LoadLibraryW(L"Msftedit.dll")) != nullptr)
        textClass = MSFTEDIT_CLASS;
    else if ((m_hRichEdit = LoadLibraryW(L"Riched20.dll")) != nullptr)
        textClass = RICHEDIT_CLASSW;
    m_hwndText = CreateWindowExW(
        WS_EX_CLIENTEDGE, textClass, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
            ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
        0, 0, 0, 0, m_hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), Instance(),
        nullptr);
    if (m_hwndViews == nullptr || m_hwndNote == nullptr || m_hwndText == nullptr)
        return false;
    SendMessageW(m_hwndViews, WM_SETFONT, hGuiFont, FALSE);
    SendMessageW(m_hwndNote, WM_SETFONT, hGuiFont, FALSE);
    if (m_hRichEdit != nullptr)
        SendMessageW(m_hwndText, EM_EXLIMITTEXT, 0, kTextLimit);
    else
        SendMessageW(m_hwndText, EM_SETLIMITTEXT, 0, 0);
    // A fixed font in which half-width katakana are as wide as ASCII: the
    // first of these the system has, else its own fixed font.
    HDC hdc = GetDC(m_hwnd);
    const int nHeight = -MulDiv(10, GetDeviceCaps(hdc, LOGPIXELSY), 72);
    for (const wchar_t* face : kPaneFonts) {
        HFONT hFont = CreateFontW(nHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                  SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, face);
        const HGDIOBJ hOld = SelectObject(hdc, hFont);
        wchar_t chosen[LF_FACESIZE] = {};
        GetTextFaceW(hdc, LF_FACESIZE, chosen);
        SelectObject(hdc, hOld);
        if (lstrcmpiW(chosen, face) == 0) {
            m_hFont = hFont;
            break;
        }
        DeleteObject(hFont);
    }
    ReleaseDC(m_hwnd, hdc);
    if (m_hFont == nullptr)
        m_hFont = CreateFontW(nHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              FIXED_PITCH | FF_MODERN, nullptr);
    if (m_hFont != nullptr)
        SendMessageW(m_hwndText, WM_SETFONT, reinterpret_cast<WPARAM>(m_hFont), FALSE);
    Refresh();
    return true;
}

LRESULT CALLBACK CBlockPane::WndProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (nMsg == WM_NCCREATE) {
        auto* self =
            static_cast<CBlockPane*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CBlockPane*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(hwnd, nMsg, wParam, lParam);
    return self->OnMessage(nMsg, wParam, lParam);
}

LRESULT CBlockPane::OnMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_CREATE:
        return CreateChildren() ? 0 : -1;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SETFOCUS:
        SetFocus(m_hwndText);
        return 0;

    case WM_COMMAND:
        if (LOWORD(wParam) == kViewsId && HIWORD(wParam) == CBN_SELCHANGE) {
            const auto nEntry = SendMessageW(m_hwndViews, CB_GETCURSEL, 0, 0);
            if (nEntry >= 0 && static_cast<std::size_t>(nEntry) < m_entries.size())
                SetView(m_entries[static_cast<std::size_t>(nEntry)]);
        }
        return 0;
    case WM_NCDESTROY: {
        const HWND hwnd = m_hwnd;
        m_hwnd = m_hwndViews = m_hwndNote = m_hwndText = nullptr;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcW(hwnd, nMsg, wParam, lParam);
    }
    default:
        return DefWindowProcW(m_hwnd, nMsg, wParam, lParam);
    }
}

void CBlockPane::Layout() {
    if (m_hwnd == nullptr || m_hwndText == nullptr)
        return;
    RECT client{};
    GetClientRect(m_hwnd, &client);
    const int nWidth = std::max(0, static_cast<int>(client.right) - 2 * kMargin);
    RECT combo{};
    GetWindowRect(m_hwndViews, &combo);
    const int nComboHeight = std::max(static_cast<int>(combo.bottom - combo.top), 20);
    const int nComboWidth = std::min(nWidth, 16 * LOWORD(GetDialogBaseUnits()));
    MoveWindow(m_hwndViews, kMargin, kMargin, nComboWidth, nComboHeight * 8, TRUE);
    int nTop = kMargin + nComboHeight + kMargin;
    if (!m_note.empty()) {
        // As many lines as the notes need at the pane's width.
        HDC hdc = GetDC(m_hwndNote);
        const HGDIOBJ hOld = SelectObject(hdc, GetStockObject(DEFAULT_GUI_FONT));
        RECT text{0, 0, nWidth, 0};
        DrawTextW(hdc, m_note.c_str(), static_cast<int>(m_note.size()), &text,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(hdc, hOld);
        ReleaseDC(m_hwndNote, hdc);
        MoveWindow(m_hwndNote, kMargin, nTop, nWidth, text.bottom, TRUE);
        nTop += text.bottom + kMargin;
    }
    MoveWindow(m_hwndText, kMargin, nTop, nWidth,
               std::max(0, static_cast<int>(client.bottom) - nTop - kMargin), TRUE);
}

bool CBlockPane::IsShown() const {
    return m_hwnd != nullptr && (GetWindowLongW(m_hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

void CBlockPane::Show(bool bShow) {
    ShowWindow(m_hwnd, bShow ? SW_SHOW : SW_HIDE);
    // What changed while the pane was hidden is shown as it opens.
    if (bShow && m_bStale)
        Refresh();
}

void CBlockPane::ShowBlock(int nIndex) {
    m_model.ShowBlock(nIndex);
    Refresh();
}

void CBlockPane::OnUpdate(CDocumentView*, const CDocUpdate&) {
    m_model.ShowAfresh(m_selectedRow ? m_selectedRow() : m_model.GetIndex());
    Refresh();
}

void CBlockPane::SetView(inspect::EBlockView view) {
    m_model.SetView(view);
    Refresh();
}

void CBlockPane::Refresh() {
    if (m_hwndText == nullptr)
        return;
    // A hidden pane spares the work (a long block's dump) until it shows.
    if (!IsShown()) {
        m_bStale = true;
        return;
    }
    m_bStale = false;
    const CBlockPaneContent content = m_model.GetContent();
    SendMessageW(m_hwndViews, CB_RESETCONTENT, 0, 0);
    m_entries.clear();
    for (std::size_t i = 0; i < kPaneViewCount && content.bBlock; ++i) {
        if (!content.fits[i])
            continue;
        m_entries.push_back(kPaneViews[i]);
        SendMessageW(m_hwndViews, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Text(PaneViewName(kPaneViews[i])).c_str()));
        if (kPaneViews[i] == content.view)
            SendMessageW(m_hwndViews, CB_SETCURSEL, m_entries.size() - 1, 0);
    }
    EnableWindow(m_hwndViews, content.bBlock ? TRUE : FALSE);

    SendMessageW(m_hwndText, WM_SETREDRAW, FALSE, 0);
    SetWindowTextW(m_hwndText, WithCrLf(content.strText).c_str());
    Highlight(content.spans);
    SendMessageW(m_hwndText, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_hwndText, nullptr, TRUE);

    std::string note;
    for (const std::string& line : content.notes)
        note += (note.empty() ? "" : "\n") + line;
    m_note = WithCrLf(note);
    SetWindowTextW(m_hwndNote, m_note.c_str());
    ShowWindow(m_hwndNote, m_note.empty() ? SW_HIDE : SW_SHOW);
    Layout();
}

void CBlockPane::Highlight(const std::vector<CPaneSpan>& spans) {
    m_nSpans = 0;
    if (m_hRichEdit == nullptr)
        return;
    // New text takes the format at its place: the marks of the block shown
    // before would spread over it.
    CHARFORMAT2W plain{};
    plain.cbSize = sizeof plain;
    plain.dwMask = CFM_BACKCOLOR;
    plain.dwEffects = CFE_AUTOBACKCOLOR;
    SendMessageW(m_hwndText, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&plain));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BACKCOLOR | CFM_COLOR;
    format.crBackColor = kMarkedGround;
    format.crTextColor = RGB(0, 0, 0);
    for (const CPaneSpan& span : spans) {
        const auto nLineStart =
            SendMessageW(m_hwndText, EM_LINEINDEX, static_cast<WPARAM>(span.nLine), 0);
        if (nLineStart < 0)
            continue;
        CHARRANGE range{
            static_cast<LONG>(nLineStart + static_cast<LRESULT>(span.nColumn)),
            static_cast<LONG>(nLineStart + static_cast<LRESULT>(span.nColumn + span.nLength))};
        SendMessageW(m_hwndText, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
        SendMessageW(m_hwndText, EM_SETCHARFORMAT, SCF_SELECTION,
                     reinterpret_cast<LPARAM>(&format));
        ++m_nSpans;
    }
    CHARRANGE start{0, 0};
    SendMessageW(m_hwndText, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&start));
}

std::wstring CBlockPane::GetText() const {
    // A rich edit control may end its lines in CR alone.
    std::wstring text;
    const std::wstring shown = WindowText(m_hwndText);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != L'\r')
            text += shown[i];
        else if (i + 1 == shown.size() || shown[i + 1] != L'\n')
            text += L'\n';
    }
    return text;
}

std::wstring CBlockPane::GetNote() const {
    std::wstring note = m_note;
    std::erase(note, L'\r');
    return note;
}

std::vector<std::wstring> CBlockPane::GetViewEntries() const {
    std::vector<std::wstring> entries;
    for (const inspect::EBlockView view : m_entries)
        entries.push_back(Text(PaneViewName(view)));
    return entries;
}
