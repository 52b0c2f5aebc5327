// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows window program's own parts, on real windows (under wine, on a
// virtual display): the keys, the File menu's recent files, the block list
// following the document and marking damaged rows, the block pane
// following the list, the waveform dialog, command routing, the settings
// dialog, the About box's version line.
// The tests' signals first: windows.h takes the word signals for nothing,
// but keeps its own names out of theirs.
#include "audio/Signals.h"

#include <gtest/gtest.h>

#include <richedit.h>

#include <fstream>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "ScratchFolder.h"
#include "audio/RecordingFormats.h"
#include "inspect/BasicCruncher.h"
#include "inspect/BlockView.h"
#include "res/FormatString.h"
#include "res/Menu.h"
#include "res/WideText.h"
#include "serial/DeviceControl.h"
#include "session/BlockRows.h"
#include "session/CommandTarget.h"
#include "win32/Dialogs.h"
#include "win32/MainFrame.h"
#include "win32/RelmuthView.h"
#include "win32/Resource.h"
#include "win32/WaveformDlg.h"

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
    CRelmuthDoc doc{nullptr, TapeFormats()}; // images and recordings, as the program's
    CMainFrame frame;
    CRelmuthView view{doc, frame};
    // The frame hands the list's notifications to the view, as in the program.
    bool Create() {
        if (!frame.Create() || !view.Create(frame.GetHwnd()))
            return false;
        frame.SetView(&view);
        return true;
    }
    ~CViewFixture() { frame.SetView(nullptr); }
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

// The row's image (-2, I_IMAGENONE, for none) and the tip the list asks
// the frame for when the mouse rests on the row.
int RowImage(HWND hwndList, int nRow) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = nRow;
    ListView_GetItem(hwndList, &item);
    return item.iImage;
}

std::wstring RowTip(const CViewFixture& f, int nRow) {
    wchar_t text[256] = L"label";
    NMLVGETINFOTIPW tip{};
    tip.hdr = {f.view.GetHwnd(), static_cast<UINT_PTR>(kViewId), LVN_GETINFOTIPW};
    tip.pszText = text;
    tip.cchTextMax = 256;
    tip.iItem = nRow;
    SendMessageW(f.frame.GetHwnd(), WM_NOTIFY, kViewId, reinterpret_cast<LPARAM>(&tip));
    return text;
}

TEST(Win32Shell, ARowWithDamagedBytesCarriesAMarkWhoseTipCountsThem) {
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    f.view.EnsureColumns();
    f.doc.ReplaceTape({CTapeBlock{ByteArray{1, 2}, 1200}, CTapeBlock{ByteArray{3, 4, 5, 6}, 1200}},
                      {CDamageMark{1, 1, 2, DamageKind::undecided, 1500}});
    EXPECT_EQ(RowImage(f.view.GetHwnd(), 0), I_IMAGENONE);
    EXPECT_EQ(RowImage(f.view.GetHwnd(), 1), 0);
    EXPECT_EQ(RowTip(f, 0), L"label"); // the row's own text, as the list has it
    EXPECT_EQ(RowTip(f, 1), L"読み取れなかったバイト: 2");

    // The mark goes with the last marked byte, and comes back with undo.
    f.view.GetSession().PickReading(1, 1, 0x40);
    EXPECT_EQ(RowImage(f.view.GetHwnd(), 1), 0);
    f.view.GetSession().PickReading(1, 2, 0x50);
    EXPECT_EQ(RowImage(f.view.GetHwnd(), 1), I_IMAGENONE);
    ASSERT_TRUE(f.doc.Undo());
    EXPECT_EQ(RowImage(f.view.GetHwnd(), 1), 0);
    EXPECT_EQ(RowTip(f, 1), L"読み取れなかったバイト: 1");
}

CTapeBlock BasicBlock() {
    return inspect::BuildBasicBlock("10 PRINT \"ｱｲｳ\"\n20 GOTO 10\n", {'H', 'I'}, 1200);
}

// ':' C000, one record of LD A,#01 / RET, the end record.
CTapeBlock MachineBlock() {
    return CTapeBlock{{':', 0xC0, 0x00, 0x40, ':', 0x03, 0x3E, 0x01, 0xC9, 0xF5, ':', 0x00, 0x00},
                      600};
}

TEST(Win32Shell, TheBlockPaneShowsBelowTheListAndFollowsItsSelection) {
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    f.view.EnsureColumns();
    CBlockPane* pPane = f.view.GetBlockPane();
    ASSERT_NE(pPane, nullptr);
    auto shown = [pPane] {
        return (GetWindowLongW(pPane->GetHwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    };
    EXPECT_FALSE(shown());
    // A hidden pane fills itself as it shows.
    f.doc.ReplaceTape({BasicBlock(), MachineBlock()});
    f.view.SelectRow(0);
    EXPECT_EQ(pPane->GetText(), L"");
    EXPECT_TRUE(f.frame.IsCommandEnabled(res::ID_VIEW_BLOCK_PANE));
    f.frame.OnCommand(res::ID_VIEW_BLOCK_PANE);
    ASSERT_TRUE(shown());
    RECT list{};
    RECT pane{};
    GetWindowRect(f.view.GetHwnd(), &list);
    GetWindowRect(pPane->GetHwnd(), &pane);
    EXPECT_GT(pane.top, list.bottom);
    EXPECT_GT(list.bottom, list.top);
    EXPECT_GT(pane.bottom, pane.top);
    EXPECT_EQ(pPane->GetText(), L"10 PRINT \"ｱｲｳ\"\n20 GOTO 10\n");
    EXPECT_EQ(pPane->GetViewEntries(), (std::vector<std::wstring>{L"BASICリスト", L"ダンプ"}));
    f.view.SelectRow(1);
    // The disassembly, as this build makes it.
    EXPECT_EQ(pPane->GetText(),
              Wide(inspect::ShowBlock(MachineBlock().m_data, inspect::EBlockView::machine).text));
    EXPECT_EQ(pPane->GetViewEntries(), (std::vector<std::wstring>{L"逆アセンブル", L"ダンプ"}));
    EXPECT_EQ(pPane->GetNote(), L"");

    // The selected block goes: the pane is blank.
    f.doc.EraseBlock(1);
    EXPECT_EQ(pPane->GetText(), L"");
    EXPECT_TRUE(pPane->GetViewEntries().empty());

    f.frame.OnCommand(res::ID_VIEW_BLOCK_PANE);
    EXPECT_FALSE(shown());
    GetWindowRect(f.view.GetHwnd(), &list);
    EXPECT_GE(list.bottom, pane.bottom - 1); // the list has the room again
}

// The ground colour of a stretch of the pane's text.
COLORREF GroundAt(HWND hwndText, LONG nFirst, LONG nEnd) {
    CHARRANGE range{nFirst, nEnd};
    SendMessageW(hwndText, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(hwndText, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return (format.dwEffects & CFE_AUTOBACKCOLOR) != 0 ? CLR_NONE : format.crBackColor;
}

TEST(Win32Shell, TheDumpShowsTheBytesTheRecordingMarkedOnARedGround) {
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    f.view.EnsureColumns();
    f.doc.ReplaceTape({CTapeBlock{ByteArray(20, 0xB1), 1200}});
    f.doc.SetModifiedFlag(false); // as opened
    f.view.GetSession().GetRecordingDamage() = {CDamagedByte{0, 0, 0.5, ByteFault::framing},
                                                CDamagedByte{0, 17, 1.0, ByteFault::undecided}};
    f.frame.OnCommand(res::ID_VIEW_BLOCK_PANE);
    f.view.SelectRow(0);
    CBlockPane* pPane = f.view.GetBlockPane();
    EXPECT_EQ(pPane->GetView(), inspect::EBlockView::hex);
    EXPECT_EQ(pPane->GetHighlightCount(), 4u);
    EXPECT_EQ(pPane->GetNote(), L"録音から読めなかったバイト 2 個を色で示しています。");

    // Byte 17 is the second field of the second line, "0010H : B1 B1 ...".
    const HWND hwndText = pPane->GetTextHwnd();
    const auto nLine = static_cast<LONG>(SendMessageW(hwndText, EM_LINEINDEX, 1, 0));
    EXPECT_EQ(GroundAt(hwndText, nLine + 11, nLine + 13), RGB(255, 176, 176));
    EXPECT_EQ(GroundAt(hwndText, nLine + 8, nLine + 10), CLR_NONE);
    EXPECT_EQ(GroundAt(hwndText, nLine + 58 + 1, nLine + 58 + 2), RGB(255, 176, 176));

    // The choice of view is the user's; the marks are the dump's.
    pPane->SetView(inspect::EBlockView::basic); // no BASIC program: not taken
    EXPECT_EQ(pPane->GetView(), inspect::EBlockView::hex);

    // The marks go with their block: the next one shows on a plain ground.
    f.doc.AppendBlock(ByteArray(20, 0x41), 1200);
    f.doc.SetModifiedFlag(false);
    f.view.SelectRow(1);
    EXPECT_EQ(pPane->GetHighlightCount(), 0u);
    EXPECT_EQ(GroundAt(hwndText, 8, 10), CLR_NONE);
    EXPECT_EQ(GroundAt(hwndText, nLine + 11, nLine + 13), CLR_NONE);
}

// A byte of two readings on five samples, for the dialog without a
// recording behind it.
CByteWaveform SmallWaveform() {
    CByteWaveform wave;
    wave.samples = {0.0f, 0.5f, -0.5f, 0.25f, 0.0f};
    CWaveformByte byte{};
    for (int i = 0; i <= kBitsPerByte; ++i)
        byte.cells[i] = 0.4 * i;
    byte.nOffset = 2;
    byte.nValue = 0x5E;
    byte.fault = ByteFault::undecided;
    wave.bytes = {byte};
    wave.nOffset = 2;
    wave.readings = {0x5E, 0x5A};
    return wave;
}

std::wstring ItemText(HWND hwndDlg, int nId) {
    wchar_t text[256] = {};
    GetDlgItemTextW(hwndDlg, nId, text, 256);
    return text;
}

TEST(Win32Shell, TheWaveformDialogPutsThePickedReadingIntoTheTapeAsAnEdit) {
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    f.doc.ReplaceTape({CTapeBlock{ByteArray{1, 2, 0x5E, 0x40}, 1200}},
                      {CDamageMark{0, 2, 1, DamageKind::undecided, 1500}});
    CWaveformDlg dlg(f.view.GetSession(), 0, 2, SmallWaveform());
    ASSERT_TRUE(dlg.Create(f.frame.GetHwnd()));
    const HWND hwndDlg = dlg.GetHwnd();
    wchar_t title[128] = {};
    GetWindowTextW(hwndDlg, title, 128);
    EXPECT_EQ(std::wstring(title), L"波形 - ブロック 0、2 バイト目");
    EXPECT_EQ(ItemText(hwndDlg, IDC_WAVEFORM_STATE),
              Wide(DescribeDamageMark(f.doc.m_damageMarks[0])));
    EXPECT_EQ(dlg.GetReadingTexts(), (std::vector<std::wstring>{L"5E (01011110) いまの読み",
                                                                L"5A (01011010) ほかの読み"}));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_PICK))); // the tape holds it
    // A single marked byte: nowhere to go.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_PREVIOUS)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_NEXT)));

    dlg.SelectReading(1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_PICK)));
    SendMessageW(hwndDlg, WM_COMMAND, IDC_WAVEFORM_PICK, 0);
    EXPECT_EQ(f.doc.m_blocks[0].m_data, (ByteArray{1, 2, 0x5A, 0x40}));
    EXPECT_TRUE(f.doc.m_damageMarks.empty());
    EXPECT_EQ(ItemText(hwndDlg, IDC_WAVEFORM_STATE), L"このバイトの読みは選ばれています。");
    EXPECT_EQ(dlg.GetReadingTexts(), (std::vector<std::wstring>{L"5E (01011110) ほかの読み",
                                                                L"5A (01011010) いまの読み"}));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_PICK)));

    ASSERT_TRUE(f.doc.Undo());
    EXPECT_EQ(f.doc.m_blocks[0].m_data[2], 0x5E);
    EXPECT_EQ(f.doc.m_damageMarks.size(), 1u);
}

// A block of eight bytes at 1200 baud, 1.5 s in, in which one space bit
// of byte 2 and one of byte 5 are silence: both read undecided.
void WriteTwiceSpoiledRecording(const std::filesystem::path& path) {
    const ByteArray bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
    signals::Samples x = signals::Write(
        [&](CTapeRecordSink& sink) {
            const auto n = static_cast<std::uint32_t>(44 * bytes.size());
            sink.OnGap(TapeGap::outer, 0, 2400);
            sink.OnData(2400, n, kBaudFast, bytes);
            sink.OnGap(TapeGap::inner, 2400 + n, 2400);
        },
        44100, 4800);
    for (const int nByte : {2, 5})
        signals::Silence(x, 1.5 + (nByte * 11 + 1) / double(kBaudFast), 1.0 / kBaudFast);
    const ByteArray file = signals::WaveFile(x);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
}

TEST(Win32Shell, TheWaveformDialogStepsToTheMarkedBytesBeforeAndAfter) {
    const std::filesystem::path dir = MakeScratchFolder("relmuth-wave");
    const std::filesystem::path wav = dir / "take.wav";
    WriteTwiceSpoiledRecording(wav);
    CViewFixture f;
    ASSERT_TRUE(f.Create());
    CTapeSession& session = f.view.GetSession();
    CRecordingReading reading;
    ASSERT_TRUE(session.ReadFile(wav.string(), reading));
    ASSERT_EQ(f.doc.m_damageMarks.size(), 2u);
    ASSERT_EQ(f.doc.m_damageMarks[1].nOffset, 5u);
    auto wave = session.ReadWaveform(0, 2);
    ASSERT_TRUE(wave.has_value());

    CWaveformDlg dlg(session, 0, 2, *wave);
    ASSERT_TRUE(dlg.Create(f.frame.GetHwnd()));
    const HWND hwndDlg = dlg.GetHwnd();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_PREVIOUS)));
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_NEXT)));
    SendMessageW(hwndDlg, WM_COMMAND, IDC_WAVEFORM_NEXT, 0);
    EXPECT_EQ(dlg.GetOffset(), 5u);
    wchar_t title[128] = {};
    GetWindowTextW(hwndDlg, title, 128);
    EXPECT_EQ(std::wstring(title), L"波形 - ブロック 0、5 バイト目");
    EXPECT_EQ(dlg.GetReadingTexts().front(),
              Wide(res::FormatString(res::IDS_WAVEFORM_READING_NOW,
                                     {"61", "01100001"}))); // the silent bit read as mark
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_PREVIOUS)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hwndDlg, IDC_WAVEFORM_NEXT)));
    EXPECT_FALSE(dlg.Step(true));
    EXPECT_TRUE(dlg.Step(false));
    EXPECT_EQ(dlg.GetOffset(), 2u);
    std::filesystem::remove_all(dir);
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

// Runs the settings dialog. While it runs, a timer of this thread hands it
// once to atOpen, which presses OK or Cancel.
INT_PTR RunSettingsDialog(CCommSettingsDlg& dlg, std::function<void(HWND)> atOpen) {
    const HWND hwndTimer = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
    if (hwndTimer == nullptr)
        return -1;
    SetPropW(hwndTimer, L"atOpen", &atOpen);
    SetTimer(hwndTimer, 1, 200, [](HWND hwnd, UINT, UINT_PTR nId, DWORD) {
        const HWND hwndDlg = FindWindowW(L"#32770", L"通信パラメータの設定");
        if (hwndDlg == nullptr)
            return;
        KillTimer(hwnd, nId);
        (*static_cast<std::function<void(HWND)>*>(GetPropW(hwnd, L"atOpen")))(hwndDlg);
    });
    // The frames of the tests before ended the message loop as they went.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    const INT_PTR nResult = dlg.DoModal(nullptr);
    RemovePropW(hwndTimer, L"atOpen");
    DestroyWindow(hwndTimer);
    return nResult;
}

struct CSeenDialog {
    std::wstring title;
    std::pair<std::vector<std::wstring>, int> ports;
    std::pair<std::vector<std::wstring>, int> speeds;
};
TEST(Win32Shell, SettingsDialogOffersThePortsAndSpeedsFromCom1At9600) {
    CSeenDialog seen;
    CCommSettingsDlg dlg;
    EXPECT_EQ(RunSettingsDialog(dlg,
                                [&](HWND hwndDlg) {
                                    wchar_t title[128] = {};
                                    GetWindowTextW(hwndDlg, title, 128);
                                    seen = {title, ComboEntries(GetDlgItem(hwndDlg, 1001)),
                                            ComboEntries(GetDlgItem(hwndDlg, 1002))};
                                    PostMessageW(hwndDlg, WM_COMMAND, IDOK, 0);
                                }),
              IDOK);

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

TEST(Win32Shell, APortTypedIntoTheSettingsBoxIsOpenedAsTyped) {
    // A device that is none of the entries: opened as it stands.
    CCommSettingsDlg dlg;
    EXPECT_EQ(RunSettingsDialog(dlg,
                                [](HWND hwndDlg) {
                                    SetDlgItemTextW(hwndDlg, IDC_PORT_LIST, L" \\\\.\\CNCA0 ");
                                    PostMessageW(hwndDlg, WM_COMMAND, IDOK, 0);
                                }),
              IDOK);
    EXPECT_EQ(dlg.GetPortName(), "\\\\.\\CNCA0");
    EXPECT_EQ(dlg.GetDevicePath(), "\\\\.\\CNCA0");
}

TEST(Win32Shell, AboutBoxShowsTheFileVersionOfTheProgramsOwnResource) {
    EXPECT_EQ(AboutVersionLine(), L"Relmuth Ver. 1, 0, 2");
}

} // namespace
