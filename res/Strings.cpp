// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/Strings.h"

#include <array>
#include <utility>

namespace res {
namespace {

struct Entry {
    StringId id;
    std::string_view text;
};

constexpr std::array kStrings{
    Entry{IDR_MAINFRAME, "Relmuth\n\nRelm\n\n\nRelmuth.Document\nRelm Document"},

    Entry{ID_SEND_PROGRAM, "プログラムを送信するでおさる\nプログラム送信"},
    Entry{ID_MOVE_UP, "選択したブロックをひとつ上へ移動～\n上へ移動"},
    Entry{ID_MOVE_DOWN, "選択したブロックをひとつ下へ移動～\n下へ移動"},
    Entry{ID_VIEW_DAMAGE_REPORT,
          "読み取れなかったバイトの一覧をもう一度表示\n読み取れなかったバイト"},
    Entry{ID_COMM_SETTINGS, "通信ポートとボーレートを選び直して開く\n通信ポートの設定"},
    Entry{ID_VIEW_WAVEFORM,
          "選択したブロックの読めなかったバイトを、録音の波形の上で見て読みを選ぶ\n波形を表示"},

    Entry{AFX_IDS_APP_TITLE, "Relmuth"},
    Entry{AFX_IDS_IDLEMESSAGE, "レディ"},
    Entry{AFX_IDS_OPENFILE, "開く"},
    Entry{AFX_IDS_SAVEFILE, "名前を付けて保存"},
    Entry{AFX_IDS_ALLFILTER, "すべてのﾌｧｲﾙ (*.*)"},
    Entry{AFX_IDS_UNTITLED, "無題"},

    Entry{AFX_IDP_FAILED_TO_OPEN_DOC, "ﾄﾞｷｭﾒﾝﾄを開くことに失敗しました。"},
    Entry{AFX_IDP_FAILED_TO_SAVE_DOC, "ﾄﾞｷｭﾒﾝﾄの保存に失敗しました。"},
    Entry{AFX_IDP_ASK_TO_SAVE, "%1 への変更を保存しますか?"},
    Entry{AFX_IDP_FAILED_INVALID_FORMAT, "予期しないﾌｧｲﾙ形式です。"},

    Entry{ID_FILE_NEW, "新規にファイルを作成\n新規ファイル"},
    Entry{ID_FILE_OPEN, "既存のファイルを開く\n開く"},
    Entry{ID_FILE_SAVE, "作業中のファイルを上書きして保存\n保存"},
    Entry{ID_FILE_SAVE_AS, "作業中のファイルを新しい名前で保存\n名前をつけて保存"},
    Entry{ID_FILE_MRU_FILE1, "指定のファイルを開く"},
    Entry{ID_EDIT_UNDO, "直前の操作を元に戻す\n元に戻す"},
    Entry{ID_EDIT_REDO, "元に戻した操作をやり直す\nやり直し"},
    Entry{ID_EDIT_CLEAR, "選択範囲を削除\n削除"},
    Entry{ID_EDIT_COPY, "選択範囲をコピーしてクリップボードに保存\nコピー"},
    Entry{ID_EDIT_CUT, "選択範囲を切り取ってクリップボードに保存\n切り取り"},
    Entry{ID_EDIT_PASTE, "クリップボードの内容を貼り付け\n貼り付け"},
    Entry{ID_APP_ABOUT, "プログラムの情報、バージョンそして著作権を表示\nバージョン情報"},
    Entry{ID_APP_EXIT, "Relmuthを終了し、ファイルの保存を指示\n終了"},
    Entry{ID_VIEW_TOOLBAR, "ツールバーの表示/非表示\nツールバーの表示切り替え"},
    Entry{ID_VIEW_STATUS_BAR, "ステータスバーの 表示/非表示\nステータスバーの表示切り替え"},

    Entry{ID_INDICATOR_KANA, "カナ"},
    Entry{ID_INDICATOR_CAPS, "CAP"},
    Entry{ID_INDICATOR_NUM, "NUM"},
    Entry{ID_INDICATOR_SCRL, "SCRL"},

    Entry{IDS_TAPE_FILTER, "Nerith Tape Image (kxm, cmt)"},
    Entry{IDS_T88_FILTER, "T88 テープイメージ (*.t88)"},
    Entry{IDS_RECORDING_FILTER, "カセット録音 (*.wav *.flac *.ogg *.aif *.aiff *.mp3)"},
    Entry{IDS_WAV_FILTER, "WAV 録音 (*.wav)"},
    Entry{IDS_RECV_BAD_LENGTH, "エラー：長さ情報が不正でおさる"},
    Entry{IDS_RECV_BAD_DATA, "エラー：データが不正でおさる"},
    Entry{IDS_RECV_BAD_CHECKSUM, "エラー：チェックサムが不正でおさる"},
    Entry{IDS_PORT_UNUSABLE, "指定されたポートは使えまへんがな(;_;)"},
    Entry{IDS_PORT_LOST, "シリアルポートとの接続が切れました。"},
    Entry{IDS_PORT_PERMISSION_HINT,
          "このポートを使う権限がありません。ユーザーを dialout グループに加えて"
          "(sudo usermod -aG dialout $USER)、ログインし直してください。"},
    Entry{IDS_TRANSFER_CUT_OFF, "接続が切れたため、受信中のブロックは途中で打ち切られました。"
                                "テープはそのままです。"},
    Entry{IDS_LOADER_HINT, "PC-8801 で LOAD \"COM:N71XN\" と入力してから送信してください"},
    Entry{IDS_NO_PORT, "ポートなし: 送信と受信は 通信ポートの設定 で開くまで使えません"},
    Entry{IDS_PORT_REOPEN_HINT, "送信 > 通信ポートの設定 で開き直せます。"},
    Entry{IDS_PORT_PC88_LINK, "仮想 PC-8801 (relmuth-pc88)"},
    Entry{IDS_RECORDING_RATE_TOO_LOW,
          "録音のサンプリング周波数が低すぎます。8000 Hz 以上で録音してください。"},
    Entry{IDS_RECORDING_CANCELLED, "録音の読み込みを中止しました。"},
    Entry{IDS_RECORDING_DAMAGED, "録音の一部のバイトを正しく読み取れませんでした。ブロックは最善の"
                                 "読み取りで残してあります:"},
    Entry{IDS_RECORDING_FAULT_LINE, "ブロック %1、%2 バイト目 (録音の %3): %4"},
    Entry{IDS_FAULT_FRAMING, "ストップビットが不正"},
    Entry{IDS_FAULT_UNDECIDED, "判定できないビット"},
    Entry{IDS_FAULT_LOST, "信号が途切れて読めない"},
    Entry{IDS_RECORDING_PROGRESS, "録音を読み込み中 %1%"},
    Entry{IDS_RECORDING_WAV_ONLY, "録音として保存できるのは WAV (.wav) だけです。"},
    Entry{IDS_RECORDING_DAMAGED_MORE, "ほかに %1 バイトあります。すべての一覧は詳細にあります。"},
    Entry{IDS_TAPE_TOO_LONG,
          "テープが長すぎて KXM・T88 形式の時間 (32 ビット、約 248 時間) に収まりません。"},
    Entry{IDS_RECORDING_NO_BLOCKS, "この録音にはブロックが見つかりませんでした。"},
    Entry{IDS_DAMAGE_RUN_LINE, "ブロック %1、%2～%3 バイト目 (録音の %4): %5"},
    Entry{IDS_FAULT_UNKNOWN, "読み取りの不良"},
    Entry{IDS_FAULT_MISSING, "この前で約 %1 バイトが欠落"},
    Entry{IDS_FAULT_EXTRA, "この前で約 %1 バイトが余分"},
    Entry{IDS_FAULT_SLIP, "この前でバイトが欠落または余分 (数は不明)"},
    Entry{IDS_FAULT_ALTERNATIVES, "ほかの読み: %1"},
    Entry{IDS_QUALITY_CHECK_OK, "検査 OK"},
    Entry{IDS_QUALITY_CHECK_BAD, "検査 NG"},
    Entry{IDS_QUALITY_NO_CHECK, "検査なし"},
    Entry{IDS_MERGE_BLOCK_LINE, "ブロック %1: テイク %2 から、補ったバイト %3、多数決 %4"},
    Entry{IDS_MERGE_UNDECIDED,
          "どのテイクでも確かに読めなかったバイトがあります。印を付けたまま残しました:"},
    Entry{IDS_MERGE_WHOLE, "すべてのバイトがいずれかのテイクで確かに読めました。"},
    Entry{IDS_MERGE_RESULT,
          "別の録音と照合しました。%1 バイトを補い、%2 バイトが未確定のまま残っています。"},
    Entry{IDS_MERGE_TITLE, "照合する録音"},
    Entry{IDS_REASON_PERMISSION, "アクセスが拒否されました (権限がありません)"},
    Entry{IDS_REASON_BUSY, "ほかのプログラムが使用中です"},
    Entry{IDS_REASON_MISSING, "ファイルまたはデバイスが見つかりません"},
    Entry{IDS_REASON_REMOVED, "デバイスが取り外されたか、接続されていません"},
    Entry{IDS_REASON_HUNG_UP, "回線が切れました (相手側が閉じたか、ケーブルが抜かれました)"},
    Entry{IDS_REASON_IO, "入出力エラーが起きました"},
    Entry{IDS_REASON_NO_SPACE, "ディスクの空き容量が足りません"},
    Entry{IDS_SAVE_LOSSES, "この形式で保存すると、テープの次のものが失われます:"},
    Entry{IDS_LOSS_SPEEDS, "速度: 生のカセットイメージには速度が残らないため、1200 ボーのブロック "
                           "%1 個は開き直すと 600 ボーになります。"},
    Entry{IDS_LOSS_JOINED_SPEEDS, "速度: 見出しだけのブロックは開き直すと続くブロックと一つになり、"
                                  "見出しの速度を取るため、%1 個のブロックの速度が変わります。"},
    Entry{IDS_LOSS_DIVISION,
          "ブロックの区切り: 開き直すと、%1 個のブロックが %2 個に切り直されます。"},
    Entry{IDS_SAVE_LOSSES_QUESTION, "このまま保存しますか?"},
    Entry{IDS_RECORDING_NO_DAMAGE, "このテープには読み取れなかったバイトの印はありません。"},
    Entry{IDS_LOSS_DAMAGE_MARKS, "読み取れなかったバイトの印 %1 か所: この形式には残せません。"},
    Entry{IDS_RECORDING_TOO_LONG, "録音が長すぎて WAV ファイル (データ 4 GiB まで、44.1 kHz で約 "
                                  "13 時間半) に収まりません。"},
    Entry{IDS_RECORDING_NOT_OUT,
          "録音ファイルには受信しません。録音は元のまま残し、受信したブロックは KXM などのテープ "
          "イメージに保存してください。"},

    Entry{IDD_ABOUTBOX, "バージョン情報(Relmuth)"},
    Entry{IDD_SEND_PROGRESS, "プログラム送信"},
    Entry{IDD_RECV_PROGRESS, "データ送信"},
    Entry{IDD_COMM_SETTINGS, "通信パラメータの設定"},
    Entry{IDD_DECODE_PROGRESS, "録音の読み込み"},

    Entry{IDS_ABOUT_VERSION, "Relmuth Ver. "},
    Entry{IDS_ABOUT_NOTICE, "Copyright (C) Orlavik  GPL-3.0-or-later"},
    Entry{IDS_COMM_PORT_LABEL, "ポート(&P):"},
    Entry{IDS_COMM_BAUD_LABEL, "ボーレート(&B):"},
    Entry{IDS_BUTTON_OK, "OK"},
    Entry{IDS_BUTTON_CANCEL, "ｷｬﾝｾﾙ"},
    Entry{IDS_BUTTON_STOP, "ちうし"},
    Entry{IDS_BUTTON_NO_PORT, "ポートなしで続ける"},
    Entry{IDS_BUTTON_SAVE_ANYWAY, "このまま保存"},
    Entry{IDS_BUTTON_OTHER_FORMAT, "別の形式を選ぶ"},
    Entry{IDS_RECV_PROGRESS_TEXT, "データ受信ちう..."},
    Entry{IDS_SEND_PROGRESS_TEXT, "プログラム送信ちう..."},
    Entry{IDS_DECODE_PROGRESS_TEXT, "録音からブロックを読み取っています..."},

    Entry{IDS_COLUMN_BAUD, "Baud"},
    Entry{IDS_COLUMN_BYTES, "Bytes"},
    Entry{IDS_COLUMN_TYPE, "Type"},
    Entry{IDS_COLUMN_FILENAME, "FileName"},
    Entry{IDS_COLUMN_NUMBER, "No."},
    Entry{IDS_STATUS_TAPE, "%1 ブロック, %2 バイト"},
    Entry{IDS_STATUS_SELECTED, "ブロック %1"},
    Entry{IDS_ROW_DAMAGED, "読み取れなかったバイト: %1"},
    Entry{IDS_ROW_SCORE, "読み取りの確かさ: 平均 %1%、最も弱いバイト %2%"},
    Entry{IDS_ROW_BROKEN_LINK, "%1 で BASIC の行のリンクが切れています"},
    Entry{IDS_ROW_PROGRAM_CUT, "BASIC プログラムが %1 で途切れています"},
    Entry{IDS_ROW_BAD_CHECK, "%1 のレコードのチェックサムが合いません"},
    Entry{IDS_ROW_RECORDS_CUT, "機械語のレコードが %1 で途切れています"},
    Entry{ID_VIEW_BLOCK_PANE, "選択したブロックの内容の表示/非表示\nブロックの内容の表示切り替え"},
    Entry{ID_FILE_MERGE_TAKE,
          "同じテープの別の録音と照合し、読めなかったバイトを補う\n別の録音と照合"},
    Entry{IDS_PANE_TITLE, "ブロックの内容"},
    Entry{IDS_PANE_VIEW_HEX, "ダンプ"},
    Entry{IDS_PANE_VIEW_BASIC, "BASICリスト"},
    Entry{IDS_PANE_VIEW_ASM, "逆アセンブル"},
    Entry{IDS_PANE_BROKEN_LINK, "%1 で行のリンクが切れています。その前までの行を表示しています。"},
    Entry{IDS_PANE_PROGRAM_CUT,
          "プログラムが %1 で途切れています。その前までの行を表示しています。"},
    Entry{IDS_PANE_BAD_CHECK,
          "%1 のレコードのチェックサムが合いません。バイトは読めたまま表示しています。"},
    Entry{IDS_PANE_RECORDS_CUT,
          "レコードが %1 で途切れています。その前までのコードを表示しています。"},
    Entry{IDS_PANE_RECORDING_DAMAGE, "録音から読めなかったバイト %1 個を色で示しています。"},
    Entry{IDS_WAVEFORM_TITLE, "波形 - ブロック %1、%2 バイト目"},
    Entry{IDS_WAVEFORM_CLEAN, "このバイトの読みは選ばれています。"},
    Entry{IDS_WAVEFORM_READING_NOW, "%1 (%2) いまの読み"},
    Entry{IDS_WAVEFORM_READING_OTHER, "%1 (%2) ほかの読み"},
    Entry{IDS_WAVEFORM_PICK, "この読みにする(&R)"},
    Entry{IDS_WAVEFORM_UNAVAILABLE,
          "このバイトの波形を録音から読み直せません。録音のファイルが移されたか変えられたか、"
          "このバイトに読めなかった印がありません。"},
    Entry{IDS_WAVEFORM_SHOW, "波形を表示(&W)..."},
    Entry{IDS_WAVEFORM_PREVIOUS, "< 前の印(&P)"},
    Entry{IDS_WAVEFORM_NEXT, "次の印(&N) >"},
    Entry{IDS_WAVEFORM_CLOSE, "閉じる"},
    Entry{IDS_WAVEFORM_ASK, "最初の読めなかったバイトを波形で見ますか?"},
};

// Two texts under one id would hide one of them: every id is listed once.
constexpr bool IdsAreUnique() {
    for (std::size_t i = 0; i < kStrings.size(); ++i) {
        for (std::size_t j = i + 1; j < kStrings.size(); ++j) {
            if (kStrings[i].id == kStrings[j].id)
                return false;
        }
    }
    return true;
}
static_assert(IdsAreUnique(), "a string id is listed twice");

} // namespace

std::string_view LoadString(StringId id) {
    for (const Entry& e : kStrings) {
        if (e.id == id)
            return e.text;
    }
    return {};
}

} // namespace res
