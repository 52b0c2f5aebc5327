// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth.exe driven from outside by keys, as a user with no mouse would,
// on wine's virtual desktop (scripts/test-windows.sh sets it up):
//   RELMUTH_EXE         the program
//   RELMUTH_TEST_COM    a COM port whose far end is relmuth-pc88 --auto
//                       --fast with the sample tape (its number)
//   RELMUTH_TEST_BLOCKS how many blocks that tape has
//   RELMUTH_TEST_DIR    a folder for the saved tape
// The capture's steps build on one another, in the order written: one
// program receives, edits, saves, reopens and loses its line. A message box
// that no step expects fails the step that meets it, with its text, and is
// answered, so that no test waits on one.
#include <gtest/gtest.h>

#include "UiDriver.h"
// The program's texts are res::LoadString's, not the system's call.
#undef LoadString

#include <cstdlib>
#include <memory>
#include <optional>

#include "res/Menu.h"
#include "res/Strings.h"
#include "res/WideText.h"

namespace {

using namespace uitest;
using Rows = std::vector<std::vector<std::wstring>>;

constexpr wchar_t kFrameClass[] = L"RelmuthFrame";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kListId = 0xE900;
constexpr int kStatusBarId = 0xE801;
constexpr int kColumns = 4;

std::wstring Text(res::StringId id) {
    return res::WideFromUtf8(res::LoadString(id));
}

std::wstring Environment(const char* pszName) {
    const char* pszValue = std::getenv(pszName);
    return pszValue != nullptr ? res::WideFromUtf8(pszValue) : std::wstring();
}

// The key of a menu text's mnemonic ("送信(&S)": S).
WORD Mnemonic(std::string_view text) {
    const auto nAmp = text.find('&');
    return nAmp == std::string_view::npos || nAmp + 1 >= text.size()
               ? 0
               : static_cast<WORD>(std::toupper(static_cast<unsigned char>(text[nAmp + 1])));
}

// The keys that reach a command through the menu bar: the popup's mnemonic
// with Alt, then the item's.
std::pair<WORD, WORD> MenuKeys(res::StringId nCommand) {
    for (const auto& popup : res::MainMenu())
        for (const auto& item : popup.items)
            if (item.nCommand == nCommand)
                return {Mnemonic(popup.text), Mnemonic(item.text)};
    return {0, 0};
}

void ChooseFromMenu(HWND hFrame, res::StringId nCommand) {
    const auto [nPopup, nItem] = MenuKeys(nCommand);
    ASSERT_NE(nPopup, 0) << "no menu item for command " << nCommand;
    PressChord(hFrame, {VK_MENU, nPopup});
    PressKey(hFrame, nItem);
}

std::string Utf8(const std::wstring& strText) {
    return res::Utf8FromWide(strText);
}

std::string Describe(const Rows& rows) {
    std::string strText;
    for (const auto& row : rows) {
        for (const auto& strCell : row)
            strText += Utf8(strCell) + " | ";
        strText += "\n";
    }
    return strText;
}

// Answers a message box nobody expected and says what it said.
std::string AnswerStrayBox(DWORD nProcess) {
    HWND hBox = FindTopWindow(nProcess, kDialogClass, Text(res::AFX_IDS_APP_TITLE));
    if (hBox == nullptr || WindowText(hBox) != Text(res::AFX_IDS_APP_TITLE))
        return {};
    const std::string strText = Utf8(MessageBoxText(hBox));
    ClickButton(hBox, IDCANCEL);
    ClickButton(hBox, IDOK);
    return strText;
}

// The file dialog of the process, once its file-name field is there.
HWND WaitFileDialog(DWORD nProcess, HWND* phName) {
    HWND hDialog = nullptr;
    WaitFor([&] {
        for (HWND hWnd : TopWindows(nProcess)) {
            if (ClassName(hWnd) != kDialogClass)
                continue;
            // The Explorer-style dialog's name field is combo box cmb13
            // (1148) with its edit, the old style's the edit edt1 (1152).
            HWND hName = FindChild(hWnd, nullptr, 1148);
            if (hName != nullptr && ClassName(hName) != L"Edit")
                hName = FindChild(hName, L"Edit");
            if (hName == nullptr)
                hName = FindChild(hWnd, L"Edit", 1152);
            if (hName != nullptr) {
                hDialog = hWnd;
                *phName = hName;
                return true;
            }
        }
        return false;
    });
    return hDialog;
}

class RelmuthWindow : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        strExe = Environment("RELMUTH_EXE");
        strPort = Environment("RELMUTH_TEST_COM");
        strFolder = Environment("RELMUTH_TEST_DIR");
        nBlocks = std::atoi(std::getenv("RELMUTH_TEST_BLOCKS") ? std::getenv("RELMUTH_TEST_BLOCKS")
                                                               : "0");
    }
    static void TearDownTestSuite() { pCapture.reset(); }

    void SetUp() override {
        if (strExe.empty())
            GTEST_SKIP() << "RELMUTH_EXE names no program";
    }

    // A capture step: the program of the capture and its windows.
    void NeedCapture() {
        if (strPort.empty() || strFolder.empty() || nBlocks == 0)
            GTEST_SKIP() << "RELMUTH_TEST_COM, _DIR and _BLOCKS name no capture";
        if (!pCapture) {
            pCapture = std::make_unique<CProgram>(strExe, L"--port COM" + strPort);
            ASSERT_TRUE(pCapture->IsStarted());
        }
        hFrame = WaitTopWindow(pCapture->GetId(), kFrameClass, L"");
        ASSERT_NE(hFrame, nullptr) << "no main window";
        hList = FindChild(hFrame, L"SysListView32", kListId);
        hStatus = FindChild(hFrame, L"msctls_statusbar32", kStatusBarId);
        ASSERT_NE(hList, nullptr);
        ASSERT_NE(hStatus, nullptr);
    }

    void TearDown() override {
        if (pCapture) {
            const std::string strStray = AnswerStrayBox(pCapture->GetId());
            EXPECT_EQ(strStray, "") << "a message box no step expected";
        }
    }

    Rows ListedRows() const { return ListRows(hList, kColumns); }

    // Waits until the list shows the rows; false after the limit.
    bool WaitRows(const Rows& rows, Milliseconds limit = 10s) const {
        return WaitFor([&] { return ListedRows() == rows; }, limit);
    }

    // Names the file in the program's file dialog and takes it with Enter.
    void UseFileDialog(const std::wstring& strPath) {
        HWND hName = nullptr;
        HWND hDialog = WaitFileDialog(pCapture->GetId(), &hName);
        ASSERT_NE(hDialog, nullptr) << "no file dialog";
        SendMessageW(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(strPath.c_str()));
        PressKey(hDialog, VK_RETURN);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(hDialog); })) << "the file dialog stays";
    }

    static inline std::wstring strExe, strPort, strFolder;
    static inline int nBlocks = 0;
    static inline std::unique_ptr<CProgram> pCapture;
    static inline Rows received;
    HWND hFrame = nullptr, hList = nullptr, hStatus = nullptr;
};

TEST_F(RelmuthWindow, StartsBareIntoItsPortDialogAndEndsWhenItIsCancelled) {
    CProgram program(strExe, L"");
    ASSERT_TRUE(program.IsStarted());
    HWND hDialog = WaitTopWindow(program.GetId(), kDialogClass, Text(res::IDD_COMM_SETTINGS));
    ASSERT_NE(hDialog, nullptr) << "no port dialog";
    EXPECT_NE(FindChild(hDialog, L"ComboBox", 1001), nullptr) << "no port list";
    EXPECT_NE(FindChild(hDialog, L"ComboBox", 1002), nullptr) << "no speed list";
    PressKey(hDialog, VK_ESCAPE);
    DWORD nCode = 1;
    ASSERT_TRUE(program.WaitExit(10s, &nCode)) << "the program goes on without a port";
    EXPECT_EQ(nCode, 0u);
}

TEST_F(RelmuthWindow, KeysAloneSendTheLoaderAndEveryBlockArrivesInTheList) {
    NeedCapture();
    EXPECT_EQ(WindowText(hFrame), Text(res::AFX_IDS_UNTITLED) + L" - Relmuth");
    EXPECT_EQ(FindTopWindow(pCapture->GetId(), kDialogClass, L""), nullptr)
        << "a dialog at start although --port was given";
    EXPECT_TRUE(WaitFor([&] {
        const auto texts = StatusTexts(hStatus);
        return !texts.empty() && texts[0] == Text(res::AFX_IDS_IDLEMESSAGE);
    })) << "the status bar is not ready";
    ChooseFromMenu(hFrame, res::ID_SEND_PROGRAM);
    ASSERT_TRUE(WaitFor([&] { return ListCount(hList) >= nBlocks; }, 120s))
        << ListCount(hList) << " of " << nBlocks << " blocks arrived; "
        << AnswerStrayBox(pCapture->GetId());
    // The receive dialog goes with the last block, and the frame takes keys again.
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(hFrame) != 0; }));
    received = ListedRows();
    ASSERT_EQ(received.size(), static_cast<size_t>(nBlocks));
    for (const auto& row : received)
        EXPECT_FALSE(row[0].empty() || row[1].empty() || row[2].empty()) << Describe(received);
    // The last block to arrive is the one selected.
    EXPECT_EQ(ListSelection(hList), std::vector<int>{nBlocks - 1});
}

TEST_F(RelmuthWindow, EditCommandsFromTheMenuMoveTheSelectedBlock) {
    NeedCapture();
    ASSERT_GE(received.size(), 2u);
    PressKey(hList, VK_HOME);
    ASSERT_TRUE(WaitFor([&] { return ListSelection(hList) == std::vector<int>{0}; }));
    ChooseFromMenu(hFrame, res::ID_MOVE_DOWN);
    Rows swapped = received;
    std::swap(swapped[0], swapped[1]);
    EXPECT_TRUE(WaitRows(swapped)) << Describe(ListedRows());
    EXPECT_EQ(ListSelection(hList), std::vector<int>{1}) << "the moved block stays selected";
    ChooseFromMenu(hFrame, res::ID_MOVE_UP);
    EXPECT_TRUE(WaitRows(received)) << Describe(ListedRows());
    EXPECT_EQ(ListSelection(hList), std::vector<int>{0});
}

TEST_F(RelmuthWindow, CtrlSSavesThroughTheFileDialog) {
    NeedCapture();
    PressChord(hFrame, {VK_CONTROL, 'S'});
    UseFileDialog(strFolder + L"\\captured.kxm");
    EXPECT_TRUE(WaitFor([&] { return WindowText(hFrame) == L"captured.kxm - Relmuth"; }))
        << Utf8(WindowText(hFrame));
    EXPECT_NE(GetFileAttributesW((strFolder + L"\\captured.kxm").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(RelmuthWindow, TheSavedTapeReopensWithTheSameBlocks) {
    NeedCapture();
    PressChord(hFrame, {VK_CONTROL, 'N'});
    EXPECT_TRUE(WaitRows({})) << "a new tape is empty";
    PressChord(hFrame, {VK_CONTROL, 'O'});
    UseFileDialog(strFolder + L"\\captured.kxm");
    EXPECT_TRUE(WaitRows(received)) << Describe(ListedRows());
}

TEST_F(RelmuthWindow, DelDeletesTheSelectedBlock) {
    NeedCapture();
    ASSERT_FALSE(received.empty());
    PressKey(hList, VK_HOME);
    PressKey(hList, VK_DELETE);
    const Rows rest(received.begin() + 1, received.end());
    EXPECT_TRUE(WaitRows(rest)) << Describe(ListedRows());
    EXPECT_TRUE(WaitFor([&] { return WindowText(hFrame) == L"captured.kxm* - Relmuth"; }))
        << Utf8(WindowText(hFrame));
}

TEST_F(RelmuthWindow, TheFarEndClosingShowsTheLostLink) {
    NeedCapture();
    // The virtual PC-8801 switches itself off after the last block.
    const std::wstring strLost = Text(res::IDS_PORT_LOST);
    EXPECT_TRUE(WaitFor(
        [&] {
            const auto texts = StatusTexts(hStatus);
            return !texts.empty() && texts[0].find(strLost) != std::wstring::npos;
        },
        30s))
        << Utf8(StatusTexts(hStatus).empty() ? L"" : StatusTexts(hStatus)[0]);
    // In red, over the pane's own drawing.
    EXPECT_TRUE(WaitFor([&] { return IsStatusPaneRed(hStatus, 0); }));
}

TEST_F(RelmuthWindow, ClosingAChangedTapeAsksToSaveAndNoLeavesTheFile) {
    NeedCapture();
    PressChord(hFrame, {VK_MENU, VK_F4});
    HWND hBox = WaitTopWindow(pCapture->GetId(), kDialogClass, Text(res::AFX_IDS_APP_TITLE));
    ASSERT_NE(hBox, nullptr) << "no question";
    std::wstring strAsk = Text(res::AFX_IDP_ASK_TO_SAVE);
    strAsk = strAsk.substr(strAsk.find(L"%1") + 2);
    EXPECT_NE(MessageBoxText(hBox).find(strAsk), std::wstring::npos) << Utf8(MessageBoxText(hBox));
    ClickButton(hBox, IDNO);
    DWORD nCode = 1;
    ASSERT_TRUE(pCapture->WaitExit(10s, &nCode)) << "the program goes on";
    EXPECT_EQ(nCode, 0u);
}

} // namespace
