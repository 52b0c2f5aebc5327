// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/RelmuthView.h"

#include <commctrl.h>

#include "serial/PortNames.h"
#include "session/StatusText.h"
#include "win32/MainFrame.h"
#include "win32/Relmuth.h"
#include "win32/WaveformDlg.h"

namespace {

// The columns: title and width in horizontal dialog base units.
struct CColumn {
    res::StringId nTitle;
    int nUnits;
};
constexpr CColumn kColumns[] = {
    {res::IDS_COLUMN_BAUD, 10},
    {res::IDS_COLUMN_BYTES, 10},
    {res::IDS_COLUMN_TYPE, 20},
    {res::IDS_COLUMN_FILENAME, 20},
};

} // namespace

CRelmuthView::CRelmuthView(CRelmuthDoc& doc, CMainFrame& frame)
    : m_doc(doc), m_frame(frame),
      m_session(doc, *this,
                // The port's threads only post; the messages are handled on
                // the window's thread, in order. The list exists before any
                // port opens.
                {[this] { PostMessageW(m_hwnd, WM_COMM_RECEIVED, 0, 0); },
                 [this](const CCommError& error) {
                     {
                         const std::lock_guard lock(m_lostMutex);
                         m_lostErrors.push_back(error);
                     }
                     PostMessageW(m_hwnd, WM_COMM_LOST, 0, 0);
                 }}) {
    m_session.AttachEditing(*this, m_clipboard);
    m_doc.AddView(this);
}

CRelmuthView::~CRelmuthView() {
    m_doc.RemoveView(this);
    // The port's threads end before anything they post to goes.
    m_session.ClosePort();
    m_pRecvDlg.reset();
}

bool CRelmuthView::Create(HWND hwndParent) {
    m_hwnd = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0,
        0, 0, hwndParent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kViewId)),
        GetModuleHandleW(nullptr), nullptr);
    if (m_hwnd == nullptr)
        return false;
    m_clipboard.SetOwner(hwndParent);
    ListView_SetExtendedListViewStyleEx(m_hwnd, LVS_EX_INFOTIP, LVS_EX_INFOTIP);
    // The marks of a row, small: the system's warning sign for damage or a
    // failed check (image 0), its information sign for a weak reading
    // (image 1). The list destroys its image list with itself.
    const int cx = GetSystemMetrics(SM_CXSMICON);
    const int cy = GetSystemMetrics(SM_CYSMICON);
    if (HIMAGELIST hMarks = ImageList_Create(cx, cy, ILC_COLOR32 | ILC_MASK, 2, 0)) {
        for (const LPCWSTR icon : {IDI_WARNING, IDI_INFORMATION})
            ImageList_AddIcon(hMarks, static_cast<HICON>(LoadImageW(nullptr, icon, IMAGE_ICON, cx,
                                                                    cy, LR_SHARED)));
        ListView_SetImageList(m_hwnd, hMarks, LVSIL_SMALL);
    }
    m_pBlockPane = std::make_unique<CBlockPane>(m_doc, m_session.GetRecordingDamage());
    if (!m_pBlockPane->Create(hwndParent))
        return false;
    m_pBlockPane->SetSelectedRow([this] { return GetSelectedRow(); });
    return SetWindowSubclass(m_hwnd, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

LRESULT CRelmuthView::OnNotify(NMHDR* pHeader) {
    switch (pHeader->code) {
    case LVN_ITEMCHANGED: {
        const auto* pChange = reinterpret_cast<const NMLISTVIEW*>(pHeader);
        if ((pChange->uChanged & LVIF_STATE) != 0 &&
            ((pChange->uNewState ^ pChange->uOldState) & LVIS_SELECTED) != 0 && m_pBlockPane)
            m_pBlockPane->ShowBlock(ListView_GetNextItem(m_hwnd, -1, LVNI_SELECTED));
        return 0;
    }
    case LVN_GETINFOTIPW: {
        auto* pTip = reinterpret_cast<NMLVGETINFOTIPW*>(pHeader);
        if (pTip->iItem < 0 || pTip->pszText == nullptr || pTip->cchTextMax <= 0)
            return 0;
        const std::string note = RowDamageText(m_doc, static_cast<std::size_t>(pTip->iItem));
        if (note.empty())
            return 0;
        m_tipText = Wide(note);
        lstrcpynW(pTip->pszText, m_tipText.c_str(), pTip->cchTextMax);
        return 0;
    }
    default:
        return 0;
    }
}

HWND CRelmuthView::FrameHwnd() const {
    return m_frame.GetHwnd();
}

LRESULT CALLBACK CRelmuthView::SubclassProc(HWND hwnd, UINT nMsg, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR, DWORD_PTR pThis) {
    auto* self = reinterpret_cast<CRelmuthView*>(pThis);
    switch (nMsg) {
    case WM_COMM_RECEIVED:
        self->m_session.OnPortReceived();
        return 0;
    case WM_RECV_CANCEL:
        self->m_session.CancelReceive();
        return 0;
    case WM_COMM_LOST:
        self->TakeLostErrors();
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, SubclassProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, nMsg, wParam, lParam);
}

void CRelmuthView::TakeLostErrors() {
    std::vector<CCommError> errors;
    {
        const std::lock_guard lock(m_lostMutex);
        errors.swap(m_lostErrors);
    }
    for (const CCommError& error : errors)
        m_session.OnPortLost(error);
}

void CRelmuthView::OnDestroy() {
    m_session.ClosePort();
    if (m_pRecvDlg) {
        EnableWindow(FrameHwnd(), TRUE);
        m_pRecvDlg.reset();
    }
}

void CRelmuthView::OnInitialUpdate() {
    Resync();
    if (!m_bFirstUpdateDone) {
        m_bFirstUpdateDone = true;
        const PortChoice choice =
            OpenStartPort() ? PortChoice::opened : RunCommSettingsLoop(nullptr, true);
        if (choice == PortChoice::cancelled) {
            m_bClosing = true;
            PostMessageW(FrameHwnd(), WM_CLOSE, 0, 0);
            return;
        }
        EnsureColumns();
        if (choice == PortChoice::opened)
            m_frame.ClearLinkLost();
    }
    m_session.InstallReceiver();
}

bool CRelmuthView::OpenStartPort() {
    if (!m_startPort)
        return false;
    const CStartPort port = *std::exchange(m_startPort, std::nullopt);
    if (m_session.OpenPort(PortDevicePathFromName(port.strName), port.nBaudFlag))
        return true;
    ShowPortUnusableMessage(nullptr, port.strName, m_session.GetOpenError());
    return false;
}

CRelmuthView::PortChoice CRelmuthView::RunCommSettingsLoop(HWND hwndOwner, bool bOfferNoPort) {
    for (;;) {
        CCommSettingsDlg dlg(bOfferNoPort); // a new one each time: "COM1" and "9600" again
        const INT_PTR nResult = dlg.DoModal(hwndOwner);
        if (nResult == CCommSettingsDlg::kContinueWithoutPort)
            return PortChoice::none;
        if (nResult != IDOK)
            return PortChoice::cancelled;
        if (m_session.OpenPort(dlg.GetDevicePath(), dlg.GetBaudFlag()))
            return PortChoice::opened;
        ShowPortUnusableMessage(hwndOwner, dlg.GetPortName(), m_session.GetOpenError());
    }
}

bool CRelmuthView::HasColumns() const {
    const HWND header = ListView_GetHeader(m_hwnd);
    return header != nullptr && Header_GetItemCount(header) > 0;
}

void CRelmuthView::EnsureColumns() {
    if (HasColumns())
        return;
    ListView_SetExtendedListViewStyleEx(m_hwnd, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const int nUnit = LOWORD(GetDialogBaseUnits());
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        std::wstring title = Text(kColumns[i].nTitle);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = kColumns[i].nUnits * nUnit;
        column.pszText = title.data();
        ListView_InsertColumn(m_hwnd, i, &column);
    }
    // Rows shown before the columns were there have their first text only.
    Resync();
}

void CRelmuthView::Resync() {
    ListView_DeleteAllItems(m_hwnd);
    for (std::size_t i = 0; i < m_doc.m_blocks.size(); ++i)
        InsertRow(static_cast<int>(i), GetRowTexts(m_doc, m_doc.m_blocks[i]));
}

void CRelmuthView::InsertRow(int nIndex, const CRowTexts& texts) {
    std::wstring baud = Wide(texts.strBaud);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = nIndex;
    item.pszText = baud.data();
    const int nRow = ListView_InsertItem(m_hwnd, &item);
    if (nRow >= 0)
        SetRowTexts(nRow, texts);
}

void CRelmuthView::SetRowTexts(int nIndex, const CRowTexts& texts) {
    const std::string* parts[] = {&texts.strBaud, &texts.strBytes, &texts.strType, &texts.strName};
    for (int i = 0; i < static_cast<int>(std::size(parts)); ++i) {
        std::wstring text = Wide(*parts[i]);
        ListView_SetItemText(m_hwnd, nIndex, i, text.data());
    }
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = nIndex;
    switch (RowQuality(m_doc, static_cast<std::size_t>(nIndex)).mark) {
    case RowMark::none:
        item.iImage = I_IMAGENONE;
        break;
    case RowMark::weak:
        item.iImage = 1;
        break;
    case RowMark::checkFailed:
    case RowMark::damaged:
        item.iImage = 0;
        break;
    }
    ListView_SetItem(m_hwnd, &item);
}

void CRelmuthView::OnUpdate(CDocumentView*, const CDocUpdate& update) {
    const int nIndex = static_cast<int>(update.nIndex);
    // After a Delete or a move, the row that was selected is not; the
    // command selects what it means to.
    const bool bSelectedGoes =
        (update.kind == CDocUpdate::removed || update.kind == CDocUpdate::moved) &&
        GetSelectedRow() == nIndex;
    auto texts = [this](std::size_t i) { return GetRowTexts(m_doc, m_doc.m_blocks[i]); };
    switch (update.kind) {
    case CDocUpdate::inserted:
        InsertRow(nIndex, texts(update.nIndex));
        break;
    case CDocUpdate::removed:
        ListView_DeleteItem(m_hwnd, nIndex);
        break;
    case CDocUpdate::moved:
        ListView_DeleteItem(m_hwnd, nIndex);
        InsertRow(static_cast<int>(update.nTo), texts(update.nTo));
        break;
    case CDocUpdate::replaced:
        SetRowTexts(nIndex, texts(update.nIndex));
        break;
    case CDocUpdate::reset:
        Resync();
        break;
    }
    if (bSelectedGoes)
        ListView_SetItemState(m_hwnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
}

int CRelmuthView::GetRowCount() const {
    return ListView_GetItemCount(m_hwnd);
}

int CRelmuthView::GetSelectedRow() const {
    const int nMark = ListView_GetSelectionMark(m_hwnd);
    if (nMark < 0 || nMark >= GetRowCount())
        return -1;
    return (ListView_GetItemState(m_hwnd, nMark, LVIS_SELECTED) & LVIS_SELECTED) != 0 ? nMark : -1;
}

void CRelmuthView::SelectRow(int nIndex) {
    ListView_SetSelectionMark(m_hwnd, nIndex);
    ListView_SetItemState(m_hwnd, nIndex, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
}

void CRelmuthView::EnsureRowVisible(int nIndex) {
    ListView_EnsureVisible(m_hwnd, nIndex, FALSE);
}

void CRelmuthView::OpenRecvProgress(int /*nTotal*/) {
    if (m_pRecvDlg)
        return;
    m_pRecvDlg = std::make_unique<CRecvProgressDlg>(m_hwnd);
    // Until the transfer ends; the dialog, owned by the frame, stays usable.
    EnableWindow(FrameHwnd(), FALSE);
}

void CRelmuthView::SetRecvProgress(int nPercent) {
    if (m_pRecvDlg)
        m_pRecvDlg->SetPercent(nPercent);
}

void CRelmuthView::CloseRecvProgress() {
    if (!m_pRecvDlg)
        return;
    // Enabled first, so that the frame, not another program, is active
    // once the dialog is gone.
    EnableWindow(FrameHwnd(), TRUE);
    m_pRecvDlg.reset();
}

void CRelmuthView::ShowMessage(res::StringId nMessage) {
    ShowMessageBox(FrameHwnd(), Text(nMessage));
}

void CRelmuthView::Beep() {
    MessageBeep(0);
}

void CRelmuthView::SelectBlock(std::size_t nIndex) {
    SelectRow(static_cast<int>(nIndex));
    EnsureRowVisible(static_cast<int>(nIndex));
}

void CRelmuthView::OnLinkLost(const CCommError& error) {
    m_frame.ShowLinkLost(error.strReason);
}

void CRelmuthView::ShowWaveform(std::size_t nBlock, std::size_t nOffset,
                                const CByteWaveform& wave) {
    CWaveformDlg dlg(m_session, nBlock, nOffset, wave);
    dlg.DoModal(FrameHwnd());
}

bool CRelmuthView::OnCmdMsg(unsigned nId) {
    switch (nId) {
    case res::ID_SEND_PROGRAM:
        OnSendProgram();
        return true;
    case res::ID_COMM_SETTINGS:
        OnCommSettings();
        return true;
    default:
        return m_session.OnCmdMsg(nId);
    }
}

bool CRelmuthView::OnUpdateCmdUi(unsigned nId, bool& bEnable) const {
    if (nId == res::ID_COMM_SETTINGS) {
        bEnable = true;
        return true;
    }
    return m_session.OnUpdateCmdUi(nId, bEnable);
}

void CRelmuthView::OnSendProgram() {
    if (m_session.StartSendLoader() > 0)
        RunSendProgress(FrameHwnd(), m_session);
}

void CRelmuthView::OnCommSettings() {
    CCommSettingsDlg first;
    if (first.DoModal(FrameHwnd()) != IDOK)
        return; // the port stays as it was
    // The chosen port may be the one open now: it is let go first.
    if (!m_session.OpenPort(first.GetDevicePath(), first.GetBaudFlag())) {
        ShowPortUnusableMessage(FrameHwnd(), first.GetPortName(), m_session.GetOpenError());
        if (RunCommSettingsLoop(FrameHwnd()) != PortChoice::opened) {
            // No port now: said where a lost line is said, until one opens.
            m_frame.ShowLinkLost(m_session.GetOpenError().strReason);
            return;
        }
    }
    EnsureColumns();
    m_session.InstallReceiver();
    m_frame.ClearLinkLost();
}
