// SPDX-License-Identifier: GPL-3.0-or-later
#include "UiDriver.h"

#include <commctrl.h>
// GDI+ needs the COM interfaces that WIN32_LEAN_AND_MEAN leaves out.
#include <objidl.h>
// clang-format off
#include <gdiplus.h>
// clang-format on

#include <memory>
#include <thread>

namespace uitest {

bool WaitFor(const std::function<bool()>& done, Milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (done())
            return true;
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(50ms);
    }
}

CProgram::CProgram(const std::wstring& strExe, const std::wstring& strArguments) {
    std::wstring strLine = L"\"" + strExe + L"\" " + strArguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(strExe.c_str(), strLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &m_info))
        m_info = {};
    else
        WaitForInputIdle(m_info.hProcess, 10000);
}

CProgram::~CProgram() {
    if (m_info.hProcess == nullptr)
        return;
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

bool CProgram::WaitExit(Milliseconds limit, DWORD* pnCode) const {
    if (m_info.hProcess == nullptr ||
        WaitForSingleObject(m_info.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return false;
    if (pnCode != nullptr)
        GetExitCodeProcess(m_info.hProcess, pnCode);
    return true;
}

std::wstring WindowText(HWND hWnd) {
    // WM_GETTEXT crosses processes: the system copies the text back.
    const auto nLength = SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring strText(static_cast<size_t>(nLength) + 1, L'\0');
    const auto nGot =
        SendMessageW(hWnd, WM_GETTEXT, strText.size(), reinterpret_cast<LPARAM>(strText.data()));
    strText.resize(static_cast<size_t>(nGot));
    return strText;
}

std::wstring ClassName(HWND hWnd) {
    wchar_t szName[256] = {};
    GetClassNameW(hWnd, szName, 256);
    return szName;
}

std::vector<HWND> TopWindows(DWORD nProcess) {
    struct Search {
        DWORD nProcess;
        std::vector<HWND> windows;
    } search{nProcess, {}};
    EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(lParam);
            DWORD nOwner = 0;
            GetWindowThreadProcessId(hWnd, &nOwner);
            if (nOwner == s.nProcess && IsWindowVisible(hWnd))
                s.windows.push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.windows;
}

HWND FindTopWindow(DWORD nProcess, const wchar_t* pszClass, const std::wstring& strTitle) {
    for (HWND hWnd : TopWindows(nProcess)) {
        if (pszClass != nullptr && ClassName(hWnd) != pszClass)
            continue;
        if (WindowText(hWnd).find(strTitle) != std::wstring::npos)
            return hWnd;
    }
    return nullptr;
}

HWND WaitTopWindow(DWORD nProcess, const wchar_t* pszClass, const std::wstring& strTitle,
                   Milliseconds limit) {
    HWND hFound = nullptr;
    WaitFor([&] { return (hFound = FindTopWindow(nProcess, pszClass, strTitle)) != nullptr; },
            limit);
    return hFound;
}

namespace {

struct ChildSearch {
    const wchar_t* pszClass;
    int nId;
    std::vector<HWND> found;
};

std::vector<HWND> Children(HWND hParent, const wchar_t* pszClass, int nId) {
    ChildSearch search{pszClass, nId, {}};
    EnumChildWindows(
        hParent,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto& s = *reinterpret_cast<ChildSearch*>(lParam);
            if ((s.pszClass == nullptr || ClassName(hWnd) == s.pszClass) &&
                (s.nId == -1 || GetDlgCtrlID(hWnd) == s.nId))
                s.found.push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Memory in the other process for a control to write into.
class CRemoteBuffer {
  public:
    CRemoteBuffer(HWND hWnd, size_t nSize) : m_nSize(nSize) {
        DWORD nProcess = 0;
        GetWindowThreadProcessId(hWnd, &nProcess);
        m_hProcess =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, nProcess);
        if (m_hProcess != nullptr)
            m_pRemote = VirtualAllocEx(m_hProcess, nullptr, nSize, MEM_COMMIT | MEM_RESERVE,
                                       PAGE_READWRITE);
    }
    ~CRemoteBuffer() {
        if (m_pRemote != nullptr)
            VirtualFreeEx(m_hProcess, m_pRemote, 0, MEM_RELEASE);
        if (m_hProcess != nullptr)
            CloseHandle(m_hProcess);
    }
    CRemoteBuffer(const CRemoteBuffer&) = delete;
    CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;

    bool IsValid() const { return m_pRemote != nullptr; }
    char* Address(size_t nOffset = 0) const { return static_cast<char*>(m_pRemote) + nOffset; }
    bool Write(size_t nOffset, const void* pData, size_t nSize) const {
        return WriteProcessMemory(m_hProcess, Address(nOffset), pData, nSize, nullptr) != 0;
    }
    bool Read(size_t nOffset, void* pData, size_t nSize) const {
        return ReadProcessMemory(m_hProcess, Address(nOffset), pData, nSize, nullptr) != 0;
    }
    // A text the control wrote at the offset, at most nChars long.
    std::wstring ReadText(size_t nOffset, size_t nChars) const {
        std::wstring strText(nChars, L'\0');
        if (nOffset + nChars * sizeof(wchar_t) > m_nSize ||
            !Read(nOffset, strText.data(), nChars * sizeof(wchar_t)))
            return {};
        strText.resize(wcsnlen(strText.c_str(), nChars));
        return strText;
    }

  private:
    size_t m_nSize;
    HANDLE m_hProcess = nullptr;
    void* m_pRemote = nullptr;
};

constexpr size_t kTextChars = 1024;

} // namespace

HWND FindChild(HWND hParent, const wchar_t* pszClass, int nId) {
    const auto found = Children(hParent, pszClass, nId);
    return found.empty() ? nullptr : found.front();
}

std::vector<std::wstring> ChildTexts(HWND hParent, const wchar_t* pszClass) {
    std::vector<std::wstring> texts;
    for (HWND hWnd : Children(hParent, pszClass, -1))
        if (IsWindowVisible(hWnd))
            texts.push_back(WindowText(hWnd));
    return texts;
}

bool Activate(HWND hWnd) {
    // Keys go to the focus of the window in front: a control's top-level
    // window is what comes to the front.
    HWND hTop = GetAncestor(hWnd, GA_ROOT);
    if (GetForegroundWindow() == hTop)
        return true;
    SetForegroundWindow(hTop);
    return WaitFor([hTop] { return GetForegroundWindow() == hTop; }, 3s);
}

namespace {

INPUT KeyInput(WORD nKey, bool bUp) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = nKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(nKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = bUp ? KEYEVENTF_KEYUP : 0;
    return input;
}

void Send(std::vector<INPUT>& inputs) {
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    // The program takes the keys in at its own pace.
    std::this_thread::sleep_for(150ms);
}

} // namespace

void PressChord(HWND hWnd, std::initializer_list<WORD> keys) {
    Activate(hWnd);
    std::vector<INPUT> inputs;
    for (WORD nKey : keys)
        inputs.push_back(KeyInput(nKey, false));
    for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
        inputs.push_back(KeyInput(*it, true));
    Send(inputs);
}

void PressKey(HWND hWnd, WORD nKey) {
    PressChord(hWnd, {nKey});
}

void TypeText(HWND hWnd, const std::wstring& strText) {
    Activate(hWnd);
    std::vector<INPUT> inputs;
    for (wchar_t c : strText) {
        for (bool bUp : {false, true}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = c;
            input.ki.dwFlags = KEYEVENTF_UNICODE | (bUp ? KEYEVENTF_KEYUP : 0);
            inputs.push_back(input);
        }
    }
    Send(inputs);
}

void ClickButton(HWND hDialog, int nId) {
    PostMessageW(hDialog, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(hDialog, nId)));
}

std::wstring MessageBoxText(HWND hBox) {
    std::wstring strText;
    for (const auto& strLine : ChildTexts(hBox, L"Static")) {
        if (strLine.empty())
            continue;
        if (!strText.empty())
            strText += L'\n';
        strText += strLine;
    }
    return strText;
}

int ListCount(HWND hList) {
    return static_cast<int>(SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
}

std::vector<std::vector<std::wstring>> ListRows(HWND hList, int nColumns) {
    std::vector<std::vector<std::wstring>> rows;
    CRemoteBuffer buffer(hList, sizeof(LVITEMW) + kTextChars * sizeof(wchar_t));
    if (!buffer.IsValid())
        return rows;
    const int nCount = ListCount(hList);
    for (int nRow = 0; nRow < nCount; ++nRow) {
        std::vector<std::wstring> row;
        for (int nColumn = 0; nColumn < nColumns; ++nColumn) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = nRow;
            item.iSubItem = nColumn;
            item.pszText = reinterpret_cast<wchar_t*>(buffer.Address(sizeof item));
            item.cchTextMax = static_cast<int>(kTextChars);
            buffer.Write(0, &item, sizeof item);
            const auto nChars = SendMessageW(hList, LVM_GETITEMTEXTW, nRow,
                                             reinterpret_cast<LPARAM>(buffer.Address()));
            row.push_back(buffer.ReadText(sizeof item, static_cast<size_t>(nChars)));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<int> ListSelection(HWND hList) {
    std::vector<int> rows;
    int nRow = -1;
    while ((nRow = static_cast<int>(SendMessageW(hList, LVM_GETNEXTITEM, nRow, LVNI_SELECTED))) !=
           -1)
        rows.push_back(nRow);
    return rows;
}

std::vector<std::wstring> StatusTexts(HWND hStatus) {
    std::vector<std::wstring> texts;
    CRemoteBuffer buffer(hStatus, kTextChars * sizeof(wchar_t));
    if (!buffer.IsValid())
        return texts;
    const int nParts = static_cast<int>(SendMessageW(hStatus, SB_GETPARTS, 0, 0));
    for (int nPart = 0; nPart < nParts; ++nPart) {
        if (IsStatusPaneOwnerDrawn(hStatus, nPart)) {
            // Its text is what its owner draws; the tip says it in words.
            SendMessageW(hStatus, SB_GETTIPTEXTW, MAKEWPARAM(nPart, kTextChars),
                         reinterpret_cast<LPARAM>(buffer.Address()));
            texts.push_back(buffer.ReadText(0, kTextChars));
            continue;
        }
        const auto nLength = LOWORD(SendMessageW(hStatus, SB_GETTEXTLENGTHW, nPart, 0));
        if (nLength >= kTextChars) {
            texts.emplace_back();
            continue;
        }
        SendMessageW(hStatus, SB_GETTEXTW, nPart, reinterpret_cast<LPARAM>(buffer.Address()));
        texts.push_back(buffer.ReadText(0, nLength));
    }
    return texts;
}

bool IsStatusPaneOwnerDrawn(HWND hStatus, int nPart) {
    return (HIWORD(SendMessageW(hStatus, SB_GETTEXTLENGTHW, nPart, 0)) & SBT_OWNERDRAW) != 0;
}

bool IsStatusPaneRed(HWND hStatus, int nPart) {
    CRemoteBuffer buffer(hStatus, sizeof(RECT));
    RECT rect{};
    if (!buffer.IsValid() ||
        !SendMessageW(hStatus, SB_GETRECT, nPart, reinterpret_cast<LPARAM>(buffer.Address())) ||
        !buffer.Read(0, &rect, sizeof rect))
        return false;
    MapWindowPoints(hStatus, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    HDC hScreen = GetDC(nullptr);
    bool bRed = false;
    for (int y = rect.top; y < rect.bottom && !bRed; ++y)
        for (int x = rect.left; x < rect.right && !bRed; ++x) {
            const COLORREF color = GetPixel(hScreen, x, y);
            bRed = GetRValue(color) > 0xC0 && GetGValue(color) < 0x60 && GetBValue(color) < 0x60;
        }
    ReleaseDC(nullptr, hScreen);
    return bRed;
}

namespace {

// GDI+ for the PNG encoder, for as long as the object lives.
class CGdiPlus {
  public:
    CGdiPlus() {
        Gdiplus::GdiplusStartupInput input;
        m_bStarted = Gdiplus::GdiplusStartup(&m_nToken, &input, nullptr) == Gdiplus::Ok;
    }
    ~CGdiPlus() {
        if (m_bStarted)
            Gdiplus::GdiplusShutdown(m_nToken);
    }
    CGdiPlus(const CGdiPlus&) = delete;
    CGdiPlus& operator=(const CGdiPlus&) = delete;
    bool IsStarted() const { return m_bStarted; }

  private:
    ULONG_PTR m_nToken = 0;
    bool m_bStarted = false;
};

struct DcRelease {
    void operator()(HDC hDc) const { ReleaseDC(nullptr, hDc); }
};
struct DcDelete {
    void operator()(HDC hDc) const { DeleteDC(hDc); }
};
struct ObjectDelete {
    void operator()(HBITMAP hBitmap) const { DeleteObject(hBitmap); }
};

} // namespace

bool SavePicture(HWND hWnd, const std::wstring& strPath) {
    RECT rect{};
    if (!GetWindowRect(hWnd, &rect))
        return false;
    const int nWidth = rect.right - rect.left;
    const int nHeight = rect.bottom - rect.top;
    std::unique_ptr<HDC__, DcRelease> screen(GetDC(nullptr));
    std::unique_ptr<HDC__, DcDelete> memory(CreateCompatibleDC(screen.get()));
    std::unique_ptr<HBITMAP__, ObjectDelete> bitmap(
        CreateCompatibleBitmap(screen.get(), nWidth, nHeight));
    if (!screen || !memory || !bitmap)
        return false;
    const HGDIOBJ hOld = SelectObject(memory.get(), bitmap.get());
    const bool bCopied = BitBlt(memory.get(), 0, 0, nWidth, nHeight, screen.get(), rect.left,
                                rect.top, SRCCOPY) != 0;
    SelectObject(memory.get(), hOld);
    if (!bCopied)
        return false;

    CGdiPlus gdiPlus;
    if (!gdiPlus.IsStarted())
        return false;
    Gdiplus::Bitmap picture(bitmap.get(), nullptr);
    // The PNG encoder's class id, as GDI+ names it.
    const CLSID pngEncoder = {
        0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    return picture.Save(strPath.c_str(), &pngEncoder, nullptr) == Gdiplus::Ok;
}

} // namespace uitest
