// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/Menu.h"

#include <array>

namespace res {
namespace {

constexpr MenuItem kSeparator{ID_SEPARATOR, {}};

constexpr std::array kFileMenu{
    MenuItem{ID_FILE_NEW, "新規作成(&N)\tCtrl+N"},
    MenuItem{ID_FILE_OPEN, "開く(&O)...\tCtrl+O"},
    MenuItem{ID_FILE_SAVE, "上書き保存(&S)\tCtrl+S"},
    MenuItem{ID_FILE_SAVE_AS, "名前を付けて保存(&A)..."},
    MenuItem{ID_FILE_MERGE_TAKE, "別の録音と照合(&M)..."},
    kSeparator,
    // Stands for the recent files while there are none (shown grayed).
    MenuItem{ID_FILE_MRU_FILE1, "最新のファイル"},
    kSeparator,
    MenuItem{ID_APP_EXIT, "Relmuthの終了(&X)"},
};

constexpr std::array kEditMenu{
    MenuItem{ID_EDIT_UNDO, "元に戻す(&U)\tCtrl+Z"},
    MenuItem{ID_EDIT_REDO, "やり直し(&R)\tCtrl+Y"},
    kSeparator,
    MenuItem{ID_EDIT_CUT, "切り取り(&T)\tCtrl+X"},
    MenuItem{ID_EDIT_COPY, "ｺﾋﾟｰ(&C)\tCtrl+C"},
    MenuItem{ID_EDIT_PASTE, "貼り付け(&P)\tCtrl+V"},
    MenuItem{ID_EDIT_CLEAR, "削除(&D)\tDel"},
    kSeparator,
    MenuItem{ID_MOVE_UP, "上へ移動(&A)"},
    MenuItem{ID_MOVE_DOWN, "下へ移動(&B)"},
};

constexpr std::array kSendMenu{
    MenuItem{ID_SEND_PROGRAM, "プログラムの送信(&S)"},
    // So that a cable plugged back in, or another adapter, costs nothing.
    kSeparator,
    MenuItem{ID_COMM_SETTINGS, "通信ポートの設定(&P)..."},
};

constexpr std::array kViewMenu{
    MenuItem{ID_VIEW_TOOLBAR, "ツールバー(&T)"},
    MenuItem{ID_VIEW_STATUS_BAR, "ステータスバー(&S)"},
    MenuItem{ID_VIEW_BLOCK_PANE, "ブロックの内容(&B)"},
    kSeparator,
    MenuItem{ID_VIEW_DAMAGE_REPORT, "読み取れなかったバイト(&D)..."},
    MenuItem{ID_VIEW_WAVEFORM, "波形を表示(&W)..."},
};

constexpr std::array kHelpMenu{
    MenuItem{ID_APP_ABOUT, "Relmuth のバージョン情報(&A)..."},
};

constexpr std::array kMenuBar{
    MenuPopup{"ファイル(&F)", kFileMenu}, MenuPopup{"編集(&E)", kEditMenu},
    MenuPopup{"送信(&S)", kSendMenu},     MenuPopup{"表示(&V)", kViewMenu},
    MenuPopup{"ヘルプ(&H)", kHelpMenu},
};

constexpr std::array kAccelerators{
    Accelerator{"Ctrl+C", ID_EDIT_COPY},     Accelerator{"Ctrl+Ins", ID_EDIT_COPY},
    Accelerator{"Ctrl+N", ID_FILE_NEW},      Accelerator{"Ctrl+O", ID_FILE_OPEN},
    Accelerator{"Ctrl+S", ID_FILE_SAVE},     Accelerator{"Ctrl+V", ID_EDIT_PASTE},
    Accelerator{"Shift+Ins", ID_EDIT_PASTE}, Accelerator{"Del", ID_EDIT_CLEAR},
    Accelerator{"Shift+Del", ID_EDIT_CUT},   Accelerator{"Ctrl+X", ID_EDIT_CUT},
    Accelerator{"F6", ID_NEXT_PANE},         Accelerator{"Shift+F6", ID_PREV_PANE},
    Accelerator{"Ctrl+Z", ID_EDIT_UNDO},     Accelerator{"Ctrl+Y", ID_EDIT_REDO},
};

constexpr std::array kToolBar{
    ID_FILE_NEW,   ID_FILE_OPEN, ID_FILE_SAVE,    ID_SEPARATOR, ID_EDIT_CUT,  ID_EDIT_COPY,
    ID_EDIT_PASTE, ID_SEPARATOR, ID_EDIT_UNDO,    ID_EDIT_REDO, ID_SEPARATOR, ID_MOVE_UP,
    ID_MOVE_DOWN,  ID_SEPARATOR, ID_SEND_PROGRAM, ID_SEPARATOR, ID_APP_ABOUT,
};

} // namespace

std::span<const MenuPopup> MainMenu() {
    return kMenuBar;
}

std::span<const Accelerator> MainAccelerators() {
    return kAccelerators;
}

std::span<const StringId> MainToolBar() {
    return kToolBar;
}

std::string_view MenuItemLabel(std::string_view text) {
    return text.substr(0, text.find('\t'));
}

std::string_view MenuItemKey(std::string_view text) {
    const auto tab = text.find('\t');
    return tab == std::string_view::npos ? std::string_view{} : text.substr(tab + 1);
}

KeyChord ParseKeyChord(std::string_view name) {
    KeyChord chord;
    for (;;) {
        const auto plus = name.find('+');
        // A lone "+" after a modifier is the plus key itself.
        if (plus == std::string_view::npos || plus + 1 == name.size())
            break;
        const std::string_view modifier = name.substr(0, plus);
        if (modifier == "Ctrl")
            chord.bCtrl = true;
        else if (modifier == "Shift")
            chord.bShift = true;
        else if (modifier == "Alt")
            chord.bAlt = true;
        else
            return {};
        name.remove_prefix(plus + 1);
    }
    // "Ctrl+" names a modifier and no key.
    if (name.empty() || (name.size() > 1 && name.back() == '+'))
        return {};
    chord.key = name;
    chord.bValid = true;
    return chord;
}

} // namespace res
