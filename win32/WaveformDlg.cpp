// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/WaveformDlg.h"

#include <windowsx.h>

#include "session/TapeSession.h"
#include "session/WaveformDrawing.h"
#include "win32/Dialogs.h"
#include "win32/Resource.h"

namespace {

constexpr wchar_t kViewClassName[] = L"RelmuthWaveform";

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

// A GDI object deleted as it goes.
struct CGdiObject {
    HGDIOBJ hObject;
    ~CGdiObject() {
        if (hObject != nullptr)
            DeleteObject(hObject);
    }
};

int Round(double d) {
    return static_cast<int>(d + (d < 0 ? -0.5 : 0.5));
}

void Line(HDC hdc, double x0, double y0, double x1, double y1) {
    MoveToEx(hdc, Round(x0), Round(y0), nullptr);
    LineTo(hdc, Round(x1), Round(y1));
}

void Label(HDC hdc, const std::wstring& text, double dLeft, double dTop, double dRight,
           double dBottom) {
    RECT rect{Round(dLeft), Round(dTop), Round(dRight), Round(dBottom)};
    DrawTextW(hdc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
}

} // namespace

CWaveformDlg::CWaveformDlg(CTapeSession& session, std::size_t nBlock, std::size_t nOffset,
                           CByteWaveform wave)
    : m_session(session), m_nBlock(nBlock), m_nOffset(nOffset), m_wave(std::move(wave)) {}

CWaveformDlg::~CWaveformDlg() {
    if (m_bModeless && m_hwnd != nullptr)
        DestroyWindow(m_hwnd);
}

bool CWaveformDlg::RegisterViewClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kViewClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

INT_PTR CWaveformDlg::DoModal(HWND hwndOwner) {
    if (!RegisterViewClass())
        return -1;
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(DLG_WAVEFORM), hwndOwner, DlgProc,
                           reinterpret_cast<LPARAM>(this));
}

bool CWaveformDlg::Create(HWND hwndOwner) {
    if (!RegisterViewClass())
        return false;
    m_bModeless = true;
    return CreateDialogParamW(Instance(), MAKEINTRESOURCEW(DLG_WAVEFORM), hwndOwner, DlgProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CWaveformDlg::OnInitDialog(HWND hwnd) {
    m_hwnd = hwnd;
    SetWindowLongPtrW(GetDlgItem(hwnd, IDC_WAVEFORM_VIEW), GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(this));
    SetDlgItemTextW(hwnd, IDC_WAVEFORM_PICK, Text(res::IDS_WAVEFORM_PICK).c_str());
    SetDlgItemTextW(hwnd, IDC_WAVEFORM_PREVIOUS, Text(res::IDS_WAVEFORM_PREVIOUS).c_str());
    SetDlgItemTextW(hwnd, IDC_WAVEFORM_NEXT, Text(res::IDS_WAVEFORM_NEXT).c_str());
    SetDlgItemTextW(hwnd, IDCANCEL, Text(res::IDS_WAVEFORM_CLOSE).c_str());
    Refresh();
}

INT_PTR CALLBACK CWaveformDlg::DlgProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CWaveformDlg*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    switch (nMsg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<CWaveformDlg*>(lParam)->OnInitDialog(hwnd);
        return TRUE;
    case WM_COMMAND:
        if (self == nullptr)
            break;
        switch (LOWORD(wParam)) {
        case IDC_WAVEFORM_READINGS:
            if (HIWORD(wParam) == LBN_SELCHANGE)
                self->Refresh();
            else if (HIWORD(wParam) == LBN_DBLCLK)
                self->PickSelected();
            return TRUE;
        case IDC_WAVEFORM_PICK:
            self->PickSelected();
            return TRUE;
        case IDC_WAVEFORM_PREVIOUS:
        case IDC_WAVEFORM_NEXT:
            if (!self->Step(LOWORD(wParam) == IDC_WAVEFORM_NEXT))
                MessageBeep(0);
            return TRUE;
        case IDCANCEL:
        case IDOK:
            if (self->m_bModeless)
                DestroyWindow(hwnd);
            else
                EndDialog(hwnd, IDCANCEL);
            return TRUE;
        default:
            break;
        }
        break;
    case WM_NCDESTROY:
        if (self != nullptr)
            self->m_hwnd = nullptr;
        break;
    default:
        break;
    }
    return FALSE;
}

std::vector<std::wstring> CWaveformDlg::GetReadingTexts() const {
    std::vector<std::wstring> texts;
    const HWND hwndList = GetDlgItem(m_hwnd, IDC_WAVEFORM_READINGS);
    const int nCount = ListBox_GetCount(hwndList);
    for (int i = 0; i < nCount; ++i) {
        std::wstring text(static_cast<std::size_t>(ListBox_GetTextLen(hwndList, i)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(ListBox_GetText(hwndList, i, text.data())));
        texts.push_back(std::move(text));
    }
    return texts;
}

void CWaveformDlg::SelectReading(int nRow) {
    ListBox_SetCurSel(GetDlgItem(m_hwnd, IDC_WAVEFORM_READINGS), nRow);
    Refresh();
}

void CWaveformDlg::PickSelected() {
    const int nRow = ListBox_GetCurSel(GetDlgItem(m_hwnd, IDC_WAVEFORM_READINGS));
    if (nRow < 0 || static_cast<std::size_t>(nRow) >= m_wave.readings.size() ||
        !TapeByte(m_session.GetDocument(), m_nBlock, m_nOffset))
        return;
    m_session.PickReading(m_nBlock, m_nOffset, m_wave.readings[static_cast<std::size_t>(nRow)]);
    Refresh();
}

bool CWaveformDlg::Step(bool bForward) {
    auto step = StepWaveform(m_session, m_nBlock, m_nOffset, bForward);
    if (!step)
        return false;
    m_nBlock = step->place.nBlock;
    m_nOffset = step->place.nOffset;
    m_wave = std::move(step->wave);
    ListBox_SetCurSel(GetDlgItem(m_hwnd, IDC_WAVEFORM_READINGS), -1);
    Refresh();
    return true;
}

void CWaveformDlg::Refresh() {
    if (m_hwnd == nullptr)
        return;
    const CRelmuthDoc& doc = m_session.GetDocument();
    SetWindowTextW(m_hwnd, Wide(WaveformTitle(m_nBlock, m_nOffset)).c_str());
    const std::optional<std::uint8_t> nNow = TapeByte(doc, m_nBlock, m_nOffset);
    m_nShownValue = nNow.value_or(0);
    SetDlgItemTextW(m_hwnd, IDC_WAVEFORM_STATE,
                    Wide(WaveformStateText(doc, m_nBlock, m_nOffset)).c_str());
    InvalidateRect(GetDlgItem(m_hwnd, IDC_WAVEFORM_VIEW), nullptr, TRUE);

    const HWND hwndList = GetDlgItem(m_hwnd, IDC_WAVEFORM_READINGS);
    const int nCurrent = ListBox_GetCurSel(hwndList);
    ListBox_ResetContent(hwndList);
    for (const std::string& text : WaveformReadingTexts(m_wave, nNow))
        ListBox_AddString(hwndList, Wide(text).c_str());
    ListBox_SetCurSel(hwndList, nCurrent >= 0 ? nCurrent : 0);
    const int nRow = ListBox_GetCurSel(hwndList);
    EnableWindow(GetDlgItem(m_hwnd, IDC_WAVEFORM_PICK),
                 nNow && nRow >= 0 && static_cast<std::size_t>(nRow) < m_wave.readings.size() &&
                     m_wave.readings[static_cast<std::size_t>(nRow)] != *nNow);
    const CDamageMarks& marks = doc.m_damageMarks;
    EnableWindow(GetDlgItem(m_hwnd, IDC_WAVEFORM_PREVIOUS),
                 NextMarkedByte(marks, m_nBlock, m_nOffset, false).has_value());
    EnableWindow(GetDlgItem(m_hwnd, IDC_WAVEFORM_NEXT),
                 NextMarkedByte(marks, m_nBlock, m_nOffset, true).has_value());
}

LRESULT CALLBACK CWaveformDlg::ViewProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC hdc = BeginPaint(hwnd, &paint);
        if (const auto* self =
                reinterpret_cast<const CWaveformDlg*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            self->Paint(hwnd, hdc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // the painting fills the whole view
    default:
        return DefWindowProcW(hwnd, nMsg, wParam, lParam);
    }
}

void CWaveformDlg::Paint(HWND hwndView, HDC hdcView) const {
    RECT client{};
    GetClientRect(hwndView, &client);
    // Drawn aside, then shown at once: no flicker while the list changes.
    HDC hdc = CreateCompatibleDC(hdcView);
    const CGdiObject bitmap{CreateCompatibleBitmap(hdcView, client.right, client.bottom)};
    const HGDIOBJ hOldBitmap = SelectObject(hdc, bitmap.hObject);
    FillRect(hdc, &client, GetSysColorBrush(COLOR_WINDOW));
    const HGDIOBJ hOldFont =
        SelectObject(hdc, reinterpret_cast<HFONT>(SendMessageW(m_hwnd, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(hdc, &metrics);
    SetBkMode(hdc, TRANSPARENT);

    const CWaveformDrawing drawing =
        LayoutWaveform(m_wave, m_nShownValue, client.right, client.bottom, metrics.tmHeight);
    if (drawing.bSignal) {
        const CWaveformPlot& plot = drawing.plot;
        const CGdiObject shownGround{CreateSolidBrush(RGB(255, 240, 190))};
        const CGdiObject damagedGround{CreateSolidBrush(RGB(255, 220, 220))};
        const CGdiObject edgePen{CreatePen(PS_SOLID, 1, RGB(90, 90, 90))};
        const CGdiObject cellPen{CreatePen(PS_SOLID, 1, RGB(200, 200, 200))};
        const CGdiObject signalPen{CreatePen(PS_SOLID, 1, RGB(0, 70, 160))};
        const HGDIOBJ hOldPen = SelectObject(hdc, cellPen.hObject);
        for (const CWaveformByteDrawing& byte : drawing.bytes) {
            RECT frame{Round(byte.Left()), Round(plot.dTop), Round(byte.Right()),
                       Round(plot.Bottom())};
            if (byte.ground != EWaveformGround::plain)
                FillRect(hdc, &frame,
                         static_cast<HBRUSH>(byte.ground == EWaveformGround::shown
                                                 ? shownGround.hObject
                                                 : damagedGround.hObject));
            for (int i = 0; i <= kBitsPerByte; ++i) {
                const bool bFrameEdge = i == 0 || i == kBitsPerByte;
                SelectObject(hdc, bFrameEdge ? edgePen.hObject : cellPen.hObject);
                Line(hdc, byte.lines[i], plot.dTop, byte.lines[i], plot.Bottom());
            }
            for (const CWaveformBit& bit : byte.bits) {
                SetTextColor(hdc, RGB(bit.nRed, 0, 0));
                Label(hdc, std::wstring(1, static_cast<wchar_t>(bit.cText)), bit.dLeft,
                      drawing.dBitsTop, bit.dRight, plot.dTop);
            }
            SetTextColor(hdc, GetSysColor(COLOR_WINDOWTEXT));
            Label(hdc, Wide(byte.strValue), byte.Left(), plot.Bottom(), byte.Right(),
                  drawing.dValuesBottom);
        }
        std::vector<POINT> points;
        points.reserve(m_wave.samples.size());
        for (std::size_t i = 0; i < m_wave.samples.size(); ++i)
            points.push_back(
                {Round(plot.X(static_cast<double>(i))), Round(plot.Y(m_wave.samples[i]))});
        SelectObject(hdc, signalPen.hObject);
        Polyline(hdc, points.data(), static_cast<int>(points.size()));
        SelectObject(hdc, hOldPen);
    }
    BitBlt(hdcView, 0, 0, client.right, client.bottom, hdc, 0, 0, SRCCOPY);
    SelectObject(hdc, hOldFont);
    SelectObject(hdc, hOldBitmap);
    DeleteDC(hdc);
}
