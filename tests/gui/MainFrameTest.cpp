// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user meets it: menus, tool bar and status bar
// against the program's tables; the Edit commands through their menu items;
// New and Open of the File menu.
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "ProgramFixture.h"
#include "qt/BlockListModel.h"
#include "tape/BlockInfo.h"
#include "tape/BlockText.h"

namespace {

struct MenuEntry {
    const char* text; // as the menu shows it: the label, a tab, the key
    unsigned nId;     // 0: a separator
};

struct MenuTable {
    const char* title;
    std::vector<MenuEntry> items;
};

// The menu bar, item by item, as the program has always had it (plus the
// port setting at the end of the Send menu and the merge of another take
// in the File menu).
const std::vector<MenuTable> kMenus = {
    {"ファイル(&F)",
     {{"新規作成(&N)\tCtrl+N", res::ID_FILE_NEW},
      {"開く(&O)...\tCtrl+O", res::ID_FILE_OPEN},
      {"上書き保存(&S)\tCtrl+S", res::ID_FILE_SAVE},
      {"名前を付けて保存(&A)...", res::ID_FILE_SAVE_AS},
      {"別の録音と照合(&M)...", res::ID_FILE_MERGE_TAKE},
      {nullptr, 0},
      {"最新のファイル", res::ID_FILE_MRU_FILE1},
      {nullptr, 0},
      {"Relmuthの終了(&X)", res::ID_APP_EXIT}}},
    {"編集(&E)",
     {{"元に戻す(&U)\tCtrl+Z", res::ID_EDIT_UNDO},
      {"やり直し(&R)\tCtrl+Y", res::ID_EDIT_REDO},
      {nullptr, 0},
      {"切り取り(&T)\tCtrl+X", res::ID_EDIT_CUT},
      {"ｺﾋﾟｰ(&C)\tCtrl+C", res::ID_EDIT_COPY},
      {"貼り付け(&P)\tCtrl+V", res::ID_EDIT_PASTE},
      {"削除(&D)\tDel", res::ID_EDIT_CLEAR},
      {nullptr, 0},
      {"上へ移動(&A)", res::ID_MOVE_UP},
      {"下へ移動(&B)", res::ID_MOVE_DOWN}}},
    {"送信(&S)",
     {{"プログラムの送信(&S)", res::ID_SEND_PROGRAM},
      {nullptr, 0},
      {"通信ポートの設定(&P)...", res::ID_COMM_SETTINGS}}},
    {"表示(&V)",
     {{"ツールバー(&T)", res::ID_VIEW_TOOLBAR},
      {"ステータスバー(&S)", res::ID_VIEW_STATUS_BAR},
      {"ブロックの内容(&B)", res::ID_VIEW_BLOCK_PANE},
      {nullptr, 0},
      {"読み取れなかったバイト(&D)...", res::ID_VIEW_DAMAGE_REPORT},
      {"波形を表示(&W)...", res::ID_VIEW_WAVEFORM}}},
    {"ヘルプ(&H)", {{"Relmuth のバージョン情報(&A)...", res::ID_APP_ABOUT}}},
};

// Every key and the command it gives.
const std::vector<std::pair<const char*, unsigned>> kAccelerators = {
    {"Ctrl+C", res::ID_EDIT_COPY},     {"Ctrl+Ins", res::ID_EDIT_COPY},
    {"Ctrl+N", res::ID_FILE_NEW},      {"Ctrl+O", res::ID_FILE_OPEN},
    {"Ctrl+S", res::ID_FILE_SAVE},     {"Ctrl+V", res::ID_EDIT_PASTE},
    {"Shift+Ins", res::ID_EDIT_PASTE}, {"Del", res::ID_EDIT_CLEAR},
    {"Shift+Del", res::ID_EDIT_CUT},   {"Ctrl+X", res::ID_EDIT_CUT},
    {"F6", res::ID_NEXT_PANE},         {"Shift+F6", res::ID_PREV_PANE},
    {"Ctrl+Z", res::ID_EDIT_UNDO},     {"Ctrl+Y", res::ID_EDIT_REDO},
};

// The tool bar, left to right, with each button's tool tip.
const std::vector<std::pair<unsigned, const char*>> kToolBar = {
    {res::ID_FILE_NEW, "新規ファイル"},
    {res::ID_FILE_OPEN, "開く"},
    {res::ID_FILE_SAVE, "保存"},
    {0, nullptr},
    {res::ID_EDIT_CUT, "切り取り"},
    {res::ID_EDIT_COPY, "コピー"},
    {res::ID_EDIT_PASTE, "貼り付け"},
    {0, nullptr},
    {res::ID_EDIT_UNDO, "元に戻す"},
    {res::ID_EDIT_REDO, "やり直し"},
    {0, nullptr},
    {res::ID_MOVE_UP, "上へ移動"},
    {res::ID_MOVE_DOWN, "下へ移動"},
    {0, nullptr},
    {res::ID_SEND_PROGRAM, "プログラム送信"},
    {0, nullptr},
    {res::ID_APP_ABOUT, "バージョン情報"},
};

// The status bar text of each command of the menus and the tool bar.
const std::vector<std::pair<unsigned, const char*>> kStatusPrompts = {
    {res::ID_FILE_NEW, "新規にファイルを作成"},
    {res::ID_FILE_OPEN, "既存のファイルを開く"},
    {res::ID_FILE_SAVE, "作業中のファイルを上書きして保存"},
    {res::ID_FILE_SAVE_AS, "作業中のファイルを新しい名前で保存"},
    {res::ID_FILE_MERGE_TAKE, "同じテープの別の録音と照合し、読めなかったバイトを補う"},
    {res::ID_FILE_MRU_FILE1, "指定のファイルを開く"},
    {res::ID_EDIT_CLEAR, "選択範囲を削除"},
    {res::ID_EDIT_COPY, "選択範囲をコピーしてクリップボードに保存"},
    {res::ID_EDIT_CUT, "選択範囲を切り取ってクリップボードに保存"},
    {res::ID_EDIT_PASTE, "クリップボードの内容を貼り付け"},
    {res::ID_APP_ABOUT, "プログラムの情報、バージョンそして著作権を表示"},
    {res::ID_APP_EXIT, "Relmuthを終了し、ファイルの保存を指示"},
    {res::ID_VIEW_TOOLBAR, "ツールバーの表示/非表示"},
    {res::ID_VIEW_STATUS_BAR, "ステータスバーの 表示/非表示"},
    {res::ID_SEND_PROGRAM, "プログラムを送信するでおさる"},
    {res::ID_MOVE_UP, "選択したブロックをひとつ上へ移動～"},
    {res::ID_MOVE_DOWN, "選択したブロックをひとつ下へ移動～"},
};

QString MenuText(const QAction* action) {
    QString text = action->text();
    if (!action->shortcut().isEmpty())
        text += '\t' + action->shortcut().toString(QKeySequence::PortableText);
    return text;
}

CTapeBlock Named(char c) {
    return CTapeBlock{ByteArray{static_cast<std::uint8_t>(c), 0x01, 0x02}, 1200};
}

// The first byte of every block, in tape order, and of every row's block.
QString Names(CRelmuthDoc& doc) {
    QString s;
    for (const CTapeBlock& b : doc.m_blocks)
        s += QChar(b.m_data.at(0));
    return s;
}

} // namespace

class MainFrameTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { InitProgramTests(); }
    void init() { QSettings("Orlavik", "Relmuth").clear(); }

    void menusItemsAndKeysAreThoseOfTheTables() {
        CStartedProgram program;
        QVERIFY(program.Start());
        const QList<QAction*> menus = program.Frame().menuBar()->actions();
        QCOMPARE(menus.size(), static_cast<qsizetype>(kMenus.size()));
        for (std::size_t m = 0; m < kMenus.size(); ++m) {
            QCOMPARE(menus[m]->text(), QString::fromUtf8(kMenus[m].title));
            QList<QAction*> items = menus[m]->menu()->actions();
            items.removeIf([](QAction* a) { return !a->isVisible(); });
            QCOMPARE(items.size(), static_cast<qsizetype>(kMenus[m].items.size()));
            for (qsizetype i = 0; i < items.size(); ++i) {
                const MenuEntry& want = kMenus[m].items[static_cast<std::size_t>(i)];
                if (want.nId == 0) {
                    QVERIFY2(items[i]->isSeparator(), kMenus[m].title);
                    continue;
                }
                QCOMPARE(items[i], &program.Command(want.nId));
                QCOMPARE(MenuText(items[i]), QString::fromUtf8(want.text));
            }
        }
        // With no recent files, their place in the File menu is grayed.
        QVERIFY(!program.Enabled(res::ID_FILE_MRU_FILE1));

        for (const auto& [key, nId] : kAccelerators) {
            const QKeySequence seq = QKeySequence::fromString(key, QKeySequence::PortableText);
            QVERIFY2(program.Command(nId).shortcuts().contains(seq), key);
        }
        // A key no menu shows still acts: the panes' keys live on the window.
        QVERIFY(program.Frame().actions().contains(&program.Command(res::ID_NEXT_PANE)));

        for (const auto& [nId, prompt] : kStatusPrompts)
            QCOMPARE(program.Command(nId).statusTip(), QString::fromUtf8(prompt));
    }

    void toolBarIsTenButtonsInFiveGroupsWithTheirTips() {
        CStartedProgram program;
        QVERIFY(program.Start());
        QToolBar* bar = program.Frame().GetToolBar();
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QVERIFY(bar->isMovable());
        const QList<QAction*> buttons = bar->actions();
        QCOMPARE(buttons.size(), static_cast<qsizetype>(kToolBar.size()));
        for (std::size_t i = 0; i < kToolBar.size(); ++i) {
            const auto& [nId, tip] = kToolBar[i];
            if (nId == 0) {
                QVERIFY(buttons[i]->isSeparator());
                continue;
            }
            QCOMPARE(buttons[i], &program.Command(nId));
            QCOMPARE(buttons[i]->toolTip(), QString::fromUtf8(tip));
            QVERIFY2(!buttons[i]->icon().isNull(), tip);
        }

        // Hovering shows the prompt in the message pane; idle, it says "レディ".
        program.Frame().show();
        QVERIFY(QTest::qWaitForWindowExposed(&program.Frame()));
        QStatusBar* status = program.Frame().statusBar();
        QTest::mouseMove(bar->widgetForAction(&program.Command(res::ID_SEND_PROGRAM)));
        QTRY_COMPARE(status->currentMessage(), QString::fromUtf8("プログラムを送信するでおさる"));
        QTest::mouseMove(&program.View());
        QTRY_VERIFY(status->currentMessage().isEmpty());
        QCOMPARE(program.Frame().GetIdleText(), QString::fromUtf8("レディ"));

        // The View menu shows and hides the bars, with check marks.
        QVERIFY(program.Command(res::ID_VIEW_TOOLBAR).isChecked());
        program.Command(res::ID_VIEW_TOOLBAR).trigger();
        QVERIFY(bar->isHidden());
        QVERIFY(!program.Command(res::ID_VIEW_TOOLBAR).isChecked());
        program.Command(res::ID_VIEW_STATUS_BAR).trigger();
        QVERIFY(status->isHidden());
        QVERIFY(!program.Command(res::ID_VIEW_STATUS_BAR).isChecked());
        program.Command(res::ID_VIEW_TOOLBAR).trigger();
        QVERIFY(!bar->isHidden());
        QVERIFY(program.Command(res::ID_VIEW_TOOLBAR).isChecked());
    }

    void editCommandsFollowTheSelectionAndKeepRowsInStep() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthView& view = program.View();
        CRelmuthDoc& doc = program.Doc();
        doc.ReplaceTape({Named('A'), Named('B'), Named('C')});
        QCOMPARE(view.GetRowCount(), 3);

        struct Rule {
            int sel;
            bool cutCopyDelete, up, down;
        };
        for (const Rule& r : {Rule{-1, false, false, false}, Rule{0, true, false, true},
                              Rule{1, true, true, true}, Rule{2, true, true, false}}) {
            if (r.sel < 0)
                view.clearSelection();
            else
                view.SelectRow(r.sel);
            QCOMPARE(view.GetSelectedRow(), r.sel);
            for (unsigned nId : {57635u, 57634u, 57632u})
                QCOMPARE(program.Enabled(nId), r.cutCopyDelete);
            QCOMPARE(program.Enabled(res::ID_MOVE_UP), r.up);
            QCOMPARE(program.Enabled(res::ID_MOVE_DOWN), r.down);
            QVERIFY(program.Enabled(res::ID_SEND_PROGRAM)); // sending never depends on the list
        }

        // Rows A, B, C with B selected: up gives B A C, down from A C B.
        view.SelectRow(1);
        program.Command(res::ID_MOVE_UP).trigger();
        QCOMPARE(Names(doc), QString("BAC"));
        QCOMPARE(view.GetSelectedRow(), 0);
        QVERIFY(doc.IsModified());
        program.Command(res::ID_MOVE_DOWN).trigger();
        QCOMPARE(Names(doc), QString("ABC"));
        QCOMPARE(view.GetSelectedRow(), 1);
        program.Command(res::ID_MOVE_DOWN).trigger();
        QCOMPARE(Names(doc), QString("ACB"));
        QCOMPARE(view.GetSelectedRow(), 2);
        QCOMPARE(view.model()->index(2, 0).data().toString(), QString("1200"));
        QCOMPARE(view.model()->index(2, 1).data().toString(), QString("3"));

        // Copy puts exactly the block's text on the clipboard.
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        view.SelectRow(0);
        program.Command(res::ID_EDIT_COPY).trigger();
        QCOMPARE(clipboard->text(), QString("CAS1\r\n0003\r\n410102\r\n44\r\n"));

        // Cut, then Paste: the block moves to the end, selected.
        program.Command(res::ID_EDIT_CUT).trigger();
        QCOMPARE(Names(doc), QString("CB"));
        QCOMPARE(view.GetRowCount(), 2);
        QCOMPARE(view.GetSelectedRow(), -1);
        QVERIFY(program.Enabled(res::ID_EDIT_PASTE));
        program.Command(res::ID_EDIT_PASTE).trigger();
        QCOMPARE(Names(doc), QString("CBA"));
        QCOMPARE(view.GetRowCount(), 3);
        QCOMPARE(view.GetSelectedRow(), 2);

        // A lower-case header is no transfer: Paste is not offered.
        clipboard->setText("cas1\r\n0003\r\n410102\r\n44\r\n");
        QVERIFY(!program.Enabled(res::ID_EDIT_PASTE));
        clipboard->setText("CAS2\r\n0003\r\n410102\r\n44\r\n");
        QVERIFY(program.Enabled(res::ID_EDIT_PASTE));

        // Keys reach the commands, not the list's own handling of them.
        program.Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&program.Frame()));
        view.setFocus();
        view.SelectRow(1);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QString("CAS1\r\n0003\r\n420102\r\n45\r\n"));
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(Names(doc), QString("CA"));

        // Ctrl+Z takes each command back in turn, Ctrl+Y does it again.
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(Names(doc), QString("CBA"));
        QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier); // the paste
        QCOMPARE(Names(doc), QString("CB"));
        QCOMPARE(view.GetRowCount(), 2);
        QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Names(doc), QString("CBA"));
        QCOMPARE(view.GetRowCount(), 3);
        QVERIFY(program.Enabled(res::ID_EDIT_UNDO));
        QVERIFY(program.Enabled(res::ID_EDIT_REDO));
        doc.SetModifiedFlag(false);
    }

    void fileNewAfterTheFirstUpdateKeepsTheColumnsAndAsksNothing() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthView& view = program.View();
        QHeaderView* header = view.header();
        const int nUnit = view.fontMetrics().averageCharWidth();
        QCOMPARE(view.model()->columnCount(), 4);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(header->sectionSize(i), (i < 2 ? 10 : 20) * nUnit);
        // The file name takes the rest of the window's width.
        QVERIFY(header->stretchLastSection());
        QVERIFY(header->sectionSize(3) >= 20 * nUnit);
        QCOMPARE(view.model()->headerData(3, Qt::Horizontal).toString(), QString("FileName"));

        program.Doc().ReplaceTape({Named('A')});
        program.Doc().SetModifiedFlag(false);
        CModalAnswers answers({});
        program.Command(res::ID_FILE_NEW).trigger();
        QCOMPARE(answers.Count(), 0);
        QCOMPARE(view.GetRowCount(), 0);
        QCOMPARE(view.model()->columnCount(), 4);
        QVERIFY(header->sectionSize(3) >= 20 * nUnit);
        QVERIFY(view.GetCommPort().IsOpen());
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("無題[*] - Relmuth"));
    }

    void aDroppedFileOpensAndAFailedOpenKeepsTheTape() {
        QTemporaryDir dir;
        const QString good = dir.filePath("good.kxm");
        const QString bad = dir.filePath("bad.kxm");
        {
            CRelmuthDoc doc;
            doc.ReplaceTape({Named('A'), Named('B')});
            QVERIFY(doc.OnSaveDocument(good.toStdString()));
            QFile file(bad);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("This is a text file, not a tape image at all.\n");
        }
        // A tape file dropped on the window opens as with Open.
        CStartedProgram program;
        QVERIFY(program.Start());
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(good)});
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QCoreApplication::sendEvent(&program.Frame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop({10, 10}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&program.Frame(), &drop);
        QCOMPARE(program.View().GetRowCount(), 2);
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("good.kxm[*] - Relmuth"));
        QCOMPARE(program.app.GetRecentFiles(), QStringList{good});

        // A file that is no tape is said so, before any save question, and
        // the tape stays with its name and its changes.
        program.Doc().EraseBlock(1);
        CModalAnswers answers({Press(QMessageBox::Ok)});
        QCOMPARE(program.app.OpenDocumentFile(bad.toStdString()), CRelmuthApp::OpenResult::failed);
        QCOMPARE(answers.Texts(), QStringList{QString::fromUtf8("予期しないﾌｧｲﾙ形式です。")});
        QCOMPARE(program.View().GetRowCount(), 1);
        QCOMPARE(program.Doc().m_blocks, std::vector<CTapeBlock>{Named('A')});
        QVERIFY(program.Doc().IsModified());
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("good.kxm[*] - Relmuth"));
        QCOMPARE(program.app.GetRecentFiles(), QStringList{good});
    }

    void newOnAModifiedTapeAsksWhetherToSave() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthDoc& doc = program.Doc();
        doc.ReplaceTape({Named('A')});
        doc.SetModifiedFlag(true);
        const QString question = QString::fromUtf8("無題 への変更を保存しますか?");

        QString saveButton;
        {
            CModalAnswers answers({[&](QWidget* box) {
                saveButton = static_cast<QMessageBox*>(box)->button(QMessageBox::Save)->text();
                Press(QMessageBox::Cancel)(box);
            }});
            program.Command(res::ID_FILE_NEW).trigger();
            QCOMPARE(answers.Texts(), QStringList{question});
        }
        // Qt's own buttons speak Japanese too.
        QVERIFY2(saveButton.contains(QString::fromUtf8("保存")), qPrintable(saveButton));
        QCOMPARE(program.View().GetRowCount(), 1);
        QVERIFY(doc.IsModified());
        {
            // A block that arrives while the question is open is not
            // discarded with the rest unasked: the question comes again.
            CModalAnswers answers({[&](QWidget* box) {
                                       QVERIFY(program.pty.Write("CAS1\r\n0001\r\n07\r\n07\r\n"));
                                       QTRY_COMPARE(program.View().GetRowCount(), 2);
                                       Press(QMessageBox::Discard)(box);
                                   },
                                   Press(QMessageBox::Discard)});
            program.Command(res::ID_FILE_NEW).trigger();
            QCOMPARE(answers.Texts(), (QStringList{question, question}));
        }
        QCOMPARE(program.View().GetRowCount(), 0);
        QVERIFY(doc.m_blocks.empty());
        QVERIFY(!doc.IsModified());
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
