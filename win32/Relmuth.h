// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth.exe, the window program on the Win32 API and the common controls:
// a thin shell over the tape session (session/), as the Qt program is on
// Linux. The application object (RelmuthApp) holds the document, the main
// frame (MainFrame: menu, accelerators, tool bar, status bar) and the block
// list view (RelmuthView: SysListView32 in report mode, which holds the
// session); Dialogs holds the dialogs, the file dialogs, the message boxes
// and the clipboard.
//
// What a program driving the window from outside (the tests under wine) can
// rely on:
//   main frame        window class "RelmuthFrame", title "TITLE - Relmuth"
//                     ("無題 - Relmuth" for a new tape; "TITLE* - Relmuth"
//                     while it has unsaved changes)
//   block list        class "SysListView32", control id 0xE900 (59648), a
//                     child of the frame; columns Baud, Bytes, Type, FileName
//                     (inserted once a port is open)
//   block pane        class "RelmuthBlockPane", a child of the frame below
//                     the list, hidden until 表示 > ブロックの内容 (32775):
//                     a combo box of the views that fit the block, a
//                     static of notes, the text in a rich edit control
//   tool bar          class "ToolbarWindow32", control id 0xE800 (59392)
//   status bar        class "msctls_statusbar32", control id 0xE801 (59393),
//                     7 parts: message ("レディ", a prompt, or in red the lost
//                     link), the link's state, the tape's state, カナ, CAP,
//                     NUM, SCRL (SB_GETTEXT reads each)
//   dialogs           class "#32770", titled by the string of their number:
//                     通信パラメータの設定 (133: combo boxes 1001 port and 1002
//                     speed, OK 1, ｷｬﾝｾﾙ 2), プログラム送信 (131, modal: bar
//                     1000, ちうし 2), データ送信 (132, modeless, the frame
//                     disabled meanwhile: bar 1000, ちうし 2), バージョン情報
//                     (Relmuth) (100: OK 1; control 1002 shows "Relmuth Ver.
//                     1, 0, 2"), 録音の読み込み (134: bar 1000, ちうし 2),
//                     波形 - ブロック N、M バイト目 (135: the signal 1010, the
//                     byte's state 1011, readings 1012, この読みにする 1013,
//                     前の印 1014, 次の印 1015, 閉じる 2)
//   message boxes     titled "Relmuth"
//   commands          WM_COMMAND with the ids of res/Strings.h (57600 New,
//                     57601 Open, 57603 Save, 57604 Save As, 57635 Cut, 57634
//                     Copy, 57637 Paste, 57632 Delete, 32772 Move up, 32773
//                     Move down, 32771 Send program, 32774 port settings,
//                     57664 About, 57665 Exit), to the frame
//   registry          HKCU\Software\Orlavik\Relmuth\Recent File List, File1..File4
#pragma once

#include <windows.h>
// The program's texts are res::LoadString's, not the resource call of that name.
#undef LoadString

// The window class of the main frame.
inline constexpr wchar_t kFrameClassName[] = L"RelmuthFrame";

// Child window ids of the frame, as the classic framework numbers them.
inline constexpr int kViewId = 0xE900;      // the block list
inline constexpr int kToolBarId = 0xE800;   // the tool bar
inline constexpr int kStatusBarId = 0xE801; // the status bar

// The program's window messages, wParam and lParam 0, posted to the block
// list: bytes have arrived on the port (by the port's reader thread), the
// user cancelled the receive progress dialog, and the line went away (by
// the port's threads).
inline constexpr UINT WM_COMM_RECEIVED = WM_USER + 100;
inline constexpr UINT WM_RECV_CANCEL = WM_USER + 101;
inline constexpr UINT WM_COMM_LOST = WM_USER + 102;
