// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user meets it: menus, tool bar and status bar
// against the program's tables; the Edit commands through their menu items;
// New and Open of the File menu.
#include <QClipboard>
#include <QDir>
#include <QFontDatabase>
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
#include "serial/CommSettingsDlg.h"
#include "tape/BlockInfo.h"
#include "tape/BlockText.h"
#include "view/BlockListModel.h"
#include "view/RecvProgressDlg.h"

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
// port setting at the end of the Send menu).
const std::vector<MenuTable> kMenus = {
    {"ファイル(&F)",
     {{"新規作成(&N)\tCtrl+N", 57600},
      {"開く(&O)...\tCtrl+O", 57601},
      {"上書き保存(&S)\tCtrl+S", 57603},
      {"名前を付けて保存(&A)...", 57604},
      {nullptr, 0},
      {"最新のファイル", 57616},
      {nullptr, 0},
      {"Relmuthの終了(&X)", 57665}}},
    {"編集(&E)",
     {{"切り取り(&T)\tCtrl+X", 57635},
      {"ｺﾋﾟｰ(&C)\tCtrl+C", 57634},
      {"貼り付け(&P)\tCtrl+V", 57637},
      {"削除(&D)\tDel", 57632},
      {nullptr, 0},
      {"上へ移動(&A)", 32772},
      {"下へ移動(&B)", 32773}}},
    {"送信(&S)",
     {{"プログラムの送信(&S)", 32771}, {nullptr, 0}, {"通信ポートの設定(&P)...", 32774}}},
    {"表示(&V)",
     {{"ツールバー(&T)", 59392}, {"ステータスバー(&S)", 59393}, {"ブロックの内容(&B)", 32775}}},
    {"ヘルプ(&H)", {{"Relmuth のバージョン情報(&A)...", 57664}}},
};

// Every key and the command it gives.
const std::vector<std::pair<const char*, unsigned>> kAccelerators = {
    {"Ctrl+C", 57634},    {"Ctrl+Ins", 57634}, {"Ctrl+N", 57600},    {"Ctrl+O", 57601},
    {"Ctrl+S", 57603},    {"Ctrl+V", 57637},   {"Shift+Ins", 57637}, {"Del", 57632},
    {"Shift+Del", 57635}, {"Ctrl+X", 57635},   {"F6", 57680},        {"Shift+F6", 57681},
};

// The tool bar, left to right, with each button's tool tip.
const std::vector<std::pair<unsigned, const char*>> kToolBar = {
    {57600, "新規ファイル"},
    {57601, "開く"},
    {57603, "保存"},
    {0, nullptr},
    {57635, "切り取り"},
    {57634, "コピー"},
    {57637, "貼り付け"},
    {0, nullptr},
    {32772, "上へ移動"},
    {32773, "下へ移動"},
    {0, nullptr},
    {32771, "プログラム送信"},
    {0, nullptr},
    {57664, "バージョン情報"},
};

// The status bar text of each command of the menus and the tool bar.
const std::vector<std::pair<unsigned, const char*>> kStatusPrompts = {
    {57600, "新規にファイルを作成"},
    {57601, "既存のファイルを開く"},
    {57603, "作業中のファイルを上書きして保存"},
    {57604, "作業中のファイルを新しい名前で保存"},
    {57616, "指定のファイルを開く"},
    {57632, "選択範囲を削除"},
    {57634, "選択範囲をコピーしてクリップボードに保存"},
    {57635, "選択範囲を切り取ってクリップボードに保存"},
    {57637, "クリップボードの内容を貼り付け"},
    {57664, "プログラムの情報、バージョンそして著作権を表示"},
    {57665, "Relmuthを終了し、ファイルの保存を指示"},
    {59392, "ツールバーの表示/非表示"},
    {59393, "ステータスバーの 表示/非表示"},
    {32771, "プログラムを送信するでおさる"},
    {32772, "選択したブロックをひとつ上へ移動～"},
    {32773, "選択したブロックをひとつ下へ移動～"},
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

// A tape as users bring in: BASIC programs, a named machine-code file, an
// unnamed one and a data file, at both speeds. Names are in the PC-8801's
// code: half-width katakana from 0xA1.
std::vector<CTapeBlock> ShowcaseTape() {
    ByteArray hello(kBasicLeadCount, kBasicLeadByte), test = hello;
    hello.insert(hello.end(), {'H', 'E', 'L', 'L', 'O', ' '});
    hello.resize(1200, 0x81);
    test.insert(test.end(), {0xC3, 0xBD, 0xC4, ' ', ' ', ' '}); // ﾃｽﾄ
    test.resize(746, 0x81);
    ByteArray game{'$', '$', '$', 0xB9, 0xDE, 0xB0, 0xD1, ' ', ' '}; // ｹﾞｰﾑ
    game.resize(4105, 0x3E);
    ByteArray records{':', 0xC0, 0x00, 0x20};
    records.resize(3211, 0x3E);
    ByteArray data(kDataLeadCount, kDataLeadByte);
    data.resize(266, 0x41);
    return {{hello, 1200}, {game, 600}, {records, 600}, {data, 1200}, {test, 600}};
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
        QVERIFY(!program.Enabled(57616));

        for (const auto& [key, nId] : kAccelerators) {
            const QKeySequence seq = QKeySequence::fromString(key, QKeySequence::PortableText);
            QVERIFY2(program.Command(nId).shortcuts().contains(seq), key);
        }
        // A key no menu shows still acts: the panes' keys live on the window.
        QVERIFY(program.Frame().actions().contains(&program.Command(57680)));

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
        QTest::mouseMove(bar->widgetForAction(&program.Command(32771)));
        QTRY_COMPARE(status->currentMessage(), QString::fromUtf8("プログラムを送信するでおさる"));
        QTest::mouseMove(&program.View());
        QTRY_VERIFY(status->currentMessage().isEmpty());
        QCOMPARE(program.Frame().GetIdleText(), QString::fromUtf8("レディ"));

        // The View menu shows and hides the bars, with check marks.
        QVERIFY(program.Command(59392).isChecked());
        program.Command(59392).trigger();
        QVERIFY(bar->isHidden());
        QVERIFY(!program.Command(59392).isChecked());
        program.Command(59393).trigger();
        QVERIFY(status->isHidden());
        QVERIFY(!program.Command(59393).isChecked());
        program.Command(59392).trigger();
        QVERIFY(!bar->isHidden());
        QVERIFY(program.Command(59392).isChecked());
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
            QCOMPARE(program.Enabled(32772), r.up);
            QCOMPARE(program.Enabled(32773), r.down);
            QVERIFY(program.Enabled(32771)); // sending never depends on the list
        }

        // Rows A, B, C with B selected: up gives B A C, down from A C B.
        view.SelectRow(1);
        program.Command(32772).trigger();
        QCOMPARE(Names(doc), QString("BAC"));
        QCOMPARE(view.GetSelectedRow(), 0);
        QVERIFY(doc.IsModified());
        program.Command(32773).trigger();
        QCOMPARE(Names(doc), QString("ABC"));
        QCOMPARE(view.GetSelectedRow(), 1);
        program.Command(32773).trigger();
        QCOMPARE(Names(doc), QString("ACB"));
        QCOMPARE(view.GetSelectedRow(), 2);
        QCOMPARE(view.model()->index(2, 0).data().toString(), QString("1200"));
        QCOMPARE(view.model()->index(2, 1).data().toString(), QString("3"));

        // Copy puts exactly the block's text on the clipboard.
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        view.SelectRow(0);
        program.Command(57634).trigger();
        QCOMPARE(clipboard->text(), QString("CAS1\r\n0003\r\n410102\r\n44\r\n"));

        // Cut, then Paste: the block moves to the end, selected.
        program.Command(57635).trigger();
        QCOMPARE(Names(doc), QString("CB"));
        QCOMPARE(view.GetRowCount(), 2);
        QCOMPARE(view.GetSelectedRow(), -1);
        QVERIFY(program.Enabled(57637));
        program.Command(57637).trigger();
        QCOMPARE(Names(doc), QString("CBA"));
        QCOMPARE(view.GetRowCount(), 3);
        QCOMPARE(view.GetSelectedRow(), 2);

        // A lower-case header is no transfer: Paste is not offered.
        clipboard->setText("cas1\r\n0003\r\n410102\r\n44\r\n");
        QVERIFY(!program.Enabled(57637));
        clipboard->setText("CAS2\r\n0003\r\n410102\r\n44\r\n");
        QVERIFY(program.Enabled(57637));

        // Keys reach the commands, not the list's own handling of them.
        program.Frame().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&program.Frame()));
        view.setFocus();
        view.SelectRow(1);
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), QString("CAS1\r\n0003\r\n420102\r\n45\r\n"));
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(Names(doc), QString("CA"));
        doc.SetModifiedFlag(false);
    }

    void fileNewAfterTheFirstUpdateKeepsTheColumnsAndAsksNothing() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthView& view = program.View();
        QHeaderView* header = view.header();
        const int nUnit = view.fontMetrics().averageCharWidth();
        QCOMPARE(view.model()->columnCount(), 4);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(header->sectionSize(i), (i < 2 ? 10 : 20) * nUnit);
        QCOMPARE(view.model()->headerData(3, Qt::Horizontal).toString(), QString("FileName"));

        program.Doc().ReplaceTape({Named('A')});
        program.Doc().SetModifiedFlag(false);
        CModalAnswers answers({});
        program.Command(57600).trigger();
        QCOMPARE(answers.Count(), 0);
        QCOMPARE(view.GetRowCount(), 0);
        QCOMPARE(view.model()->columnCount(), 4);
        QCOMPARE(header->sectionSize(3), 20 * nUnit);
        QVERIFY(view.GetCommPort().IsOpen());
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("無題[*] - Relmuth"));
    }

    void aDroppedFileOpensAndAFailedOpenEmptiesTheList() {
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

        CModalAnswers answers({Press(QMessageBox::Ok)});
        QCOMPARE(program.app.OpenDocumentFile(bad.toStdString()), CRelmuthApp::OpenResult::failed);
        QCOMPARE(answers.Texts(), QStringList{QString::fromUtf8("予期しないﾌｧｲﾙ形式です。")});
        QCOMPARE(program.View().GetRowCount(), 0);
        QVERIFY(program.Doc().m_blocks.empty());
        QVERIFY(!program.Doc().IsModified());
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("無題[*] - Relmuth"));
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
            program.Command(57600).trigger();
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
            program.Command(57600).trigger();
            QCOMPARE(answers.Texts(), (QStringList{question, question}));
        }
        QCOMPARE(program.View().GetRowCount(), 0);
        QVERIFY(doc.m_blocks.empty());
        QVERIFY(!doc.IsModified());
    }

    // Pictures of the main window, the receive progress dialog and the
    // settings dialog for the README, drawn with a Japanese font into the
    // build folder. Without such a font the texts would be boxes, silently.
    void renderWindowsForTheReadme() {
        const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
        QVERIFY2(!japanese.isEmpty(), "no Japanese font: install fonts-ipafont-gothic");
        const QString family = japanese.contains(QStringLiteral("IPAPGothic"))
                                   ? QStringLiteral("IPAPGothic")
                                   : japanese[0];
        const QFont savedFont = QApplication::font();
        QApplication::setFont(QFont(family, 10));
        const QString dir = QStringLiteral(RELMUTH_SCREENSHOT_DIR);
        QVERIFY(QDir().mkpath(dir));

        CStartedProgram program;
        QVERIFY(program.Start());
        program.Doc().ReplaceTape(ShowcaseTape());
        program.View().SelectRow(1);
        program.Frame().resize(520, 280);

        CCommSettingsDlg settings(&program.Frame());
        CRecvProgressDlg receiving(&program.Frame(), &program.View());
        receiving.m_nTotal = 1024;
        receiving.SetProgress(437);
        const std::pair<QWidget*, const char*> shots[] = {
            {&program.Frame(), "main-window.png"},
            {&receiving, "receive-dialog.png"},
            {&settings, "settings-dialog.png"},
        };
        for (const auto& [window, name] : shots) {
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window));
            const QString path = dir + QLatin1Char('/') + QLatin1String(name);
            QVERIFY2(window->grab().save(path), qPrintable(path));
            window->hide();
        }
        QApplication::setFont(savedFont);
        program.Doc().SetModifiedFlag(false);
    }
};

QTEST_MAIN(MainFrameTest)
#include "MainFrameTest.moc"
