// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows window program's own parts, on real windows (under wine, on a
// virtual display): the keys, the File menu's recent files, the block list
// following the document, command routing, the About box's version line.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "res/Menu.h"
#include "res/WideText.h"
#include "serial/DeviceControl.h"
#include "session/BlockRows.h"
#include "session/CommandTarget.h"
#include "win32/Dialogs.h"
#include "win32/MainFrame.h"
#include "win32/RelmuthView.h"

namespace {

struct CKey {
    BYTE nFlags;
    WORD nKey;
    WORD nCommand;
    friend bool operator==(const CKey&, const CKey&) = default;
};

TEST(Win32Shell, KeysAreThoseOfTheTablesEachOnce) {
    constexpr BYTE ctrl = FVIRTKEY | FCONTROL;
    constexpr BYTE shift = FVIRTKEY | FSHIFT;
    const std::vector<CKey> expected = {
        {ctrl, 'C', res::ID_EDIT_COPY},         {ctrl, VK_INSERT, res::ID_EDIT_COPY},
        {ctrl, 'N', res::ID_FILE_NEW},          {ctrl, 'O', res::ID_FILE_OPEN},
        {ctrl, 'S', res::ID_FILE_SAVE},         {ctrl, 'V', res::ID_EDIT_PASTE},
        {shift, VK_INSERT, res::ID_EDIT_PASTE}, {FVIRTKEY, VK_DELETE, res::ID_EDIT_CLEAR},
        {shift, VK_DELETE, res::ID_EDIT_CUT},   {ctrl, 'X', res::ID_EDIT_CUT},
        {FVIRTKEY, VK_F6, res::ID_NEXT_PANE},   {shift, VK_F6, res::ID_PREV_PANE},
        {ctrl, 'Z', res::ID_EDIT_UNDO},         {ctrl, 'Y', res::ID_EDIT_REDO},
    };
    std::vector<CKey> keys;
    for (const ACCEL& accel : MainAcceleratorEntries())
        keys.push_back({accel.fVirt, accel.key, accel.cmd});
    EXPECT_EQ(keys, expected);
}

// The File menu as (command id, text, grayed) rows.
struct CMenuRow {
    UINT nId;
    std::string text;
    bool bGrayed;
    friend bool operator==(const CMenuRow&, const CMenuRow&) = default;
    friend void PrintTo(const CMenuRow& row, std::ostream* os) {
        *os << row.nId << " \"" << row.text << "\"" << (row.bGrayed ? " grayed" : "");
    }
};

std::vector<CMenuRow> MenuRows(HMENU hMenu) {
    std::vector<CMenuRow> rows;
    for (int i = 0; i < GetMenuItemCount(hMenu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(hMenu, i, text, 256, MF_BYPOSITION);
        const UINT nId = GetMenuItemID(hMenu, i);
        const UINT nState = GetMenuState(hMenu, i, MF_BYPOSITION);
        rows.push_back({nId, res::Utf8FromWide(text),
                        (nState & MF_SEPARATOR) == 0 && (nState & MF_GRAYED) != 0});
    }
    return rows;
}

TEST(Win32Shell, RecentFilesStandWhereThePlaceholderWas) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    const std::vector<CMenuRow> before = {
        {res::ID_FILE_NEW, "新規作成(&N)\tCtrl+N", false},
        {res::ID_FILE_OPEN, "開く(&O)...\tCtrl+O", false},
        {res::ID_FILE_SAVE, "上書き保存(&S)\tCtrl+S", false},
        {res::ID_FILE_SAVE_AS, "名前を付けて保存(&A)...", false},
        {res::ID_FILE_MERGE_TAKE, "別の録音と照合(&M)...", false},
        {0, "", false},
        {res::ID_FILE_MRU_FILE1, "最新のファイル", false},
        {0, "", false},
        {res::ID_APP_EXIT, "Relmuthの終了(&X)", false},
    };
    EXPECT_EQ(MenuRows(frame.GetFileMenu()), before);

    frame.SetRecentFiles({"&1 C:\\tapes\\a.kxm", "&2 C:\\b&&c.t88"});
    std::vector<CMenuRow> with = before;
    with[6] = {res::ID_FILE_MRU_FILE1, "&1 C:\\tapes\\a.kxm", false};
    with.insert(with.begin() + 7, {res::ID_FILE_MRU_FILE1 + 1, "&2 C:\\b&&c.t88", false});
    EXPECT_EQ(MenuRows(frame.GetFileMenu()), with);

    frame.SetRecentFiles({});
    std::vector<CMenuRow> emptied = before;
    emptied[6].bGrayed = true; // shown grayed until there is a recent file
    EXPECT_EQ(MenuRows(frame.GetFileMenu()), emptied);
}

std::vector<CRowTexts> ListRows(HWND hwndList) {
    std::vector<CRowTexts> rows;
    auto text = [hwndList](int nRow, int nColumn) {
        wchar_t buffer[256] = {};
        ListView_GetItemText(hwndList, nRow, nColumn, buffer, 256);
        return res::Utf8FromWide(buffer);
    };
    for (int i = 0; i < ListView_GetItemCount(hwndList); ++i)
        rows.push_back({text(i, 0), text(i, 1), text(i, 2), text(i, 3)});
    return rows;
}

std::vector<CRowTexts> DocumentRows(const CRelmuthDoc& doc) {
    std::vector<CRowTexts> rows;
    for (const CTapeBlock& block : doc.m_blocks)
        rows.push_back(GetRowTexts(doc, block));
    return rows;
}

// A BASIC header named NAME, a data block, a machine-code header.
void FillTape(CRelmuthDoc& doc) {
    ByteArray basic(10, 0xD3);
    basic.insert(basic.end(), {'N', 'A', 'M', 'E', ' ', ' '});
    doc.AppendBlock(basic, 1200);
    doc.AppendBlock(ByteArray{1, 2, 3}, 600);
    doc.AppendBlock(ByteArray{0x3A, 0x80, 0x00, 0x7F}, 600);
}

struct CViewFixture {
    CRelmuthDoc doc;
    CMainFrame frame;
    CRelmuthView view{doc, frame};
    bool Create() { return frame.Create() && view.Create(frame.GetHwnd()); }
};

TEST(Win32Shell, RowsShownBeforeTheColumnsKeepAllTheirTexts) {
    // A tape opened from the command line is shown before a port is open.
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    FillTape(f.doc);
    f.view.EnsureColumns();
    EXPECT_EQ(ListRows(f.view.GetHwnd()), DocumentRows(f.doc));
    EXPECT_EQ(ListRows(f.view.GetHwnd())[0].strName, "NAME  ");
}

TEST(Win32Shell, TheListFollowsEveryEditOfTheDocument) {
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    f.view.EnsureColumns();
    FillTape(f.doc);
    EXPECT_EQ(ListRows(f.view.GetHwnd()), DocumentRows(f.doc));

    f.doc.MoveBlock(0, 2);
    EXPECT_EQ(ListRows(f.view.GetHwnd()), DocumentRows(f.doc));

    // The selected block goes: no row is selected afterwards.
    f.view.SelectRow(1);
    EXPECT_EQ(f.view.GetSelectedRow(), 1);
    f.doc.EraseBlock(1);
    EXPECT_EQ(ListRows(f.view.GetHwnd()), DocumentRows(f.doc));
    EXPECT_EQ(f.view.GetSelectedRow(), -1);

    f.doc.ReplaceBlock(0, CTapeBlock{ByteArray{9, 9}, 1200});
    EXPECT_EQ(ListRows(f.view.GetHwnd()), DocumentRows(f.doc));

    f.doc.ReplaceTape({});
    EXPECT_EQ(f.view.GetRowCount(), 0);
    EXPECT_EQ(f.view.GetSelectedRow(), -1);
}

// A target that knows About alone, enabled or not.
class CAboutTarget final : public CCmdTarget {
  public:
    bool bEnabled = false;
    int nRuns = 0;
    bool OnCmdMsg(unsigned nId) override {
        nRuns += nId == res::ID_APP_ABOUT ? 1 : 0;
        return nId == res::ID_APP_ABOUT;
    }
    bool OnUpdateCmdUi(unsigned nId, bool& bEnable) const override {
        bEnable = bEnabled;
        return nId == res::ID_APP_ABOUT;
    }
};

TEST(Win32Shell, ACommandItsUpdateRuleDisablesDoesNotRun) {
    // A key reaches the frame whatever the menu showed when it last opened.
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    CAboutTarget target;
    frame.SetAppTarget(&target);
    frame.OnCommand(res::ID_APP_ABOUT);
    EXPECT_EQ(target.nRuns, 0);
    target.bEnabled = true;
    frame.OnCommand(res::ID_APP_ABOUT);
    EXPECT_EQ(target.nRuns, 1);
}

TEST(Win32Shell, TheFrameWaitsWhileABlockArrivesAndItsDialogStaysUsable) {
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    f.view.OpenRecvProgress(40);
    const HWND hwndDlg = f.view.GetRecvDlg();
    ASSERT_NE(hwndDlg, nullptr);
    EXPECT_FALSE(IsWindowEnabled(f.frame.GetHwnd()));
    EXPECT_TRUE(IsWindowEnabled(hwndDlg));
    EXPECT_EQ(GetWindow(hwndDlg, GW_OWNER), f.frame.GetHwnd());
    f.view.SetRecvProgress(80);
    EXPECT_EQ(SendDlgItemMessageW(hwndDlg, 1000, PBM_GETPOS, 0, 0), 80);
    f.view.CloseRecvProgress();
    EXPECT_EQ(f.view.GetRecvDlg(), nullptr);
    EXPECT_FALSE(IsWindow(hwndDlg));
    EXPECT_TRUE(IsWindowEnabled(f.frame.GetHwnd()));
}

std::wstring StatusText(const CMainFrame& frame) {
    wchar_t text[512] = {};
    SendMessageW(GetDlgItem(frame.GetHwnd(), 0xE801), SB_GETTEXTW, 0,
                 reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(Win32Shell, TheStatusBarSaysTheLineWentAwayUntilAPortOpens) {
    CMainFrame frame;
    ASSERT_TRUE(frame.Create());
    EXPECT_EQ(StatusText(frame), L"レディ");
    frame.ShowLinkLost("cable pulled");
    EXPECT_EQ(StatusText(frame), L"シリアルポートとの接続が切れました。 (cable pulled) "
                                 L"送信 > 通信ポートの設定 で開き直せます。");
    frame.ClearLinkLost();
    EXPECT_EQ(StatusText(frame), L"レディ");
}

// The texts of a combo box's entries, and the selected one's index.
std::pair<std::vector<std::wstring>, int> ComboEntries(HWND hwndCombo) {
    std::vector<std::wstring> entries;
    const int nCount = static_cast<int>(SendMessageW(hwndCombo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < nCount; ++i) {
        wchar_t text[256] = {};
        SendMessageW(hwndCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.emplace_back(text);
    }
    return {entries, static_cast<int>(SendMessageW(hwndCombo, CB_GETCURSEL, 0, 0))};
}

struct CSeenDialog {
    std::wstring title;
    std::pair<std::vector<std::wstring>, int> ports;
    std::pair<std::vector<std::wstring>, int> speeds;
};
TEST(Win32Shell, SettingsDialogOffersThePortsAndSpeedsFromCom1At9600) {
    // While the dialog runs, a timer of this thread looks at it and presses
    // OK; what it saw hangs on the timer's window.
    CSeenDialog seen;
    const HWND hwndTimer = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hwndTimer, nullptr);
    SetPropW(hwndTimer, L"seen", &seen);
    SetTimer(hwndTimer, 1, 200, [](HWND hwnd, UINT, UINT_PTR nId, DWORD) {
        const HWND hwndDlg = FindWindowW(L"#32770", L"通信パラメータの設定");
        if (hwndDlg == nullptr)
            return;
        KillTimer(hwnd, nId);
        wchar_t title[128] = {};
        GetWindowTextW(hwndDlg, title, 128);
        *static_cast<CSeenDialog*>(GetPropW(hwnd, L"seen")) = {
            title, ComboEntries(GetDlgItem(hwndDlg, 1001)),
            ComboEntries(GetDlgItem(hwndDlg, 1002))};
        PostMessageW(hwndDlg, WM_COMMAND, IDOK, 0);
    });
    // The frames of the tests before ended the message loop as they went.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    CCommSettingsDlg dlg;
    EXPECT_EQ(dlg.DoModal(nullptr), IDOK);
    RemovePropW(hwndTimer, L"seen");
    DestroyWindow(hwndTimer);

    EXPECT_EQ(seen.title, L"通信パラメータの設定");
    ASSERT_GE(seen.ports.first.size(), 4u);
    EXPECT_EQ(std::vector<std::wstring>(seen.ports.first.begin(), seen.ports.first.begin() + 4),
              (std::vector<std::wstring>{L"COM1", L"COM2", L"COM3", L"COM4"}));
    EXPECT_EQ(seen.ports.second, 0);
    EXPECT_EQ(seen.speeds.first,
              (std::vector<std::wstring>{L"1200", L"2400", L"4800", L"9600", L"19200"}));
    EXPECT_EQ(seen.speeds.second, 3);
    EXPECT_EQ(dlg.GetPortName(), "COM1");
    EXPECT_EQ(dlg.GetDevicePath(), "\\\\.\\COM1");
    EXPECT_EQ(dlg.GetBaudFlag(), BAUD_9600);
}

TEST(Win32Shell, AboutBoxShowsTheFileVersionOfTheProgramsOwnResource) {
    EXPECT_EQ(AboutVersionLine(), L"Relmuth Ver. 1, 0, 2");
}

} // namespace
