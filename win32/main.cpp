// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth.exe: the window program for Windows.
#include "win32/Relmuth.h"

#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "res/Version.h"
#include "res/WideText.h"
#include "session/CommandLine.h"
#include "win32/Dialogs.h"
#include "win32/RelmuthApp.h"

namespace {

constexpr int kExitUsage = 2;

const char* const kRelmuthHelp =
    "Usage: relmuth [FILE] [--port PORT] [--baud N]\r\n"
    "Receives PC-8801 cassette blocks over RS-232C into a tape you can edit and\r\n"
    "save as a tape image (.kxm, .t88, .cmt, .cas).\r\n"
    "\r\n"
    "  FILE          a tape file to open at start\r\n"
    "  --port PORT   open this serial port at start instead of asking for one:\r\n"
    "                COM1 to COM256, or a device name such as \\\\.\\COM12;\r\n"
    "                when it cannot be opened, the settings dialog asks as usual\r\n"
    "  --baud N      the speed for --port: 1200, 2400, 4800, 9600 (the default)\r\n"
    "                or 19200; always 7 data bits, no parity, 1 stop bit, XON/XOFF\r\n"
    "  --help        this text\r\n"
    "  --version     the program's version\r\n";

// The arguments after the program's name, in UTF-8.
std::vector<std::string> Arguments() {
    std::vector<std::string> args;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr)
        return args;
    for (int i = 1; i < argc; ++i)
        args.push_back(res::Utf8FromWide(argv[i]));
    LocalFree(argv);
    return args;
}

// A window program has no console of its own: what it says goes to the
// standard output or error it was given (a pipe, a file), else to the
// console of the command prompt it was started from, else into a message box.
void Say(const std::string& text, bool bError) {
    HANDLE out = GetStdHandle(bError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS))
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    DWORD nWritten = 0;
    if (out != nullptr && out != INVALID_HANDLE_VALUE &&
        WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &nWritten, nullptr))
        return;
    ShowMessageBox(nullptr, Wide(text), MB_OK | (bError ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int nCmdShow) {
    const std::vector<std::string> args = Arguments();
    CCommandLineInfo cmdInfo;
    std::string strError;
    switch (ParseCommandLine(args, cmdInfo, strError)) {
    case CCommandLineAction::help:
        Say(kRelmuthHelp, false);
        return 0;
    case CCommandLineAction::version:
        Say(std::string("relmuth (") + res::kAppName + ") " + res::kVersionDotted + "\r\n" +
                res::kLicenseLine + "\r\n",
            false);
        return 0;
    case CCommandLineAction::usageError:
        Say("relmuth: " + strError + "\r\nTry 'relmuth --help'.\r\n", true);
        return kExitUsage;
    case CCommandLineAction::run:
        break;
    }

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                       ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    CRelmuthApp app;
    if (!app.InitInstance(cmdInfo, nCmdShow))
        return 1;
    return app.Run();
}
