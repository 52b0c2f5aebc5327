// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the README's pictures of relmuth.exe on wine's virtual desktop
// (scripts/screenshots.sh runs it, with a Japanese font): the settings
// dialog of a bare start, the main window with a tape, and the receive
// progress dialog while a transfer comes in on COMn.
//
//   win_gui_screenshots RELMUTH_EXE TAPE PORT_NUMBER FOLDER SIGNAL_FILE
// Once the main window is drawn it makes SIGNAL_FILE; the far end of the
// port then sends the start of a transfer, and the receive dialog opens.
#include <cstdio>
#include <string>

#include "UiDriver.h"

namespace {

using namespace uitest;

constexpr wchar_t kDialogClass[] = L"#32770";

bool Picture(HWND hWnd, const std::wstring& strFolder, const wchar_t* pszName) {
    // Let the window draw itself first.
    Sleep(700);
    const std::wstring strPath = strFolder + L"\\" + pszName;
    if (hWnd == nullptr || !SavePicture(hWnd, strPath)) {
        std::fprintf(stderr, "cannot draw %ls\n", pszName);
        return false;
    }
    std::printf("%ls\n", pszName);
    return true;
}

// The program's dialog whose title is the string of its number.
HWND WaitDialog(const CProgram& program, const wchar_t* pszTitle) {
    return WaitTopWindow(program.GetId(), kDialogClass, pszTitle, 20s);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: win_gui_screenshots RELMUTH_EXE TAPE PORT FOLDER SIGNAL\n");
        return 2;
    }
    const std::wstring strExe = argv[1], strTape = argv[2], strPort = argv[3];
    const std::wstring strFolder = argv[4], strSignal = argv[5];

    {
        CProgram bare(strExe, L"");
        HWND hSettings = WaitDialog(bare, L"通信パラメータの設定");
        if (!Picture(hSettings, strFolder, L"windows-settings-dialog.png"))
            return 1;
        PressKey(hSettings, VK_ESCAPE);
        if (!bare.WaitExit(10s))
            return 1;
    }

    CProgram program(strExe, L"\"" + strTape + L"\" --port COM" + strPort);
    HWND hFrame = WaitTopWindow(program.GetId(), L"RelmuthFrame", L"", 20s);
    if (hFrame == nullptr)
        return 1;
    SetWindowPos(hFrame, nullptr, 40, 40, 560, 320, SWP_NOZORDER);
    HWND hList = FindChild(hFrame, L"SysListView32", 0xE900);
    PressKey(hList, VK_HOME);
    PressKey(hList, VK_DOWN);
    if (!Picture(hFrame, strFolder, L"windows-main-window.png"))
        return 1;

    HANDLE hSignal = CreateFileW(strSignal.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hSignal == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(hSignal);
    HWND hReceive = WaitDialog(program, L"データ送信");
    if (!Picture(hReceive, strFolder, L"windows-receive-dialog.png"))
        return 1;
    ClickButton(hReceive, IDCANCEL);
    WaitFor([&] { return !IsWindow(hReceive); });
    PostMessageW(hFrame, WM_CLOSE, 0, 0);
    return program.WaitExit(10s) ? 0 : 1;
}
