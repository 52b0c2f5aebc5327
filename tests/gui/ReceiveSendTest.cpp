// SPDX-License-Identifier: GPL-3.0-or-later
// The serial side of the window program, end to end over a pseudo-terminal:
// the test writes what Grebe would send on the master side, or reads what
// the program sends there.
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ProgramFixture.h"
#include "loader/LoaderText.h"
#include "qt/RecvProgressDlg.h"
#include "qt/SendProgressDlg.h"
#include "res/UiText.h"
#include "session/SendLoader.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr int kPatienceMs = 10000;

// A block of three bytes at 1200 baud, as Grebe sends it; and the same with
// a wrong checksum.
const std::string kGoodTransfer = "\r\nCAS1\r\n0003\r\n0102FF\r\n02\r\n";
const std::string kBadChecksum = "\r\nCAS1\r\n0003\r\n0102FF\r\n03\r\n";
const ByteArray kGoodBytes{0x01, 0x02, 0xFF};

} // namespace

class ReceiveSendTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { InitProgramTests(); }

    void aReceivedBlockIsAppendedSelectedAndMarksTheTapeModified() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthDoc& doc = program.Doc();
        doc.ReplaceTape({CTapeBlock{ByteArray{0x41}, 600}});
        doc.SetModifiedFlag(false);
        program.View().SelectRow(0);

        QVERIFY(program.pty.Write(kGoodTransfer));
        QTRY_COMPARE_WITH_TIMEOUT(program.View().GetRowCount(), 2, kPatienceMs);
        QCOMPARE(doc.m_blocks.size(), 2u);
        QCOMPARE(doc.m_blocks[1], (CTapeBlock{kGoodBytes, 1200}));
        QCOMPARE(program.View().GetSelectedRow(), 1);
        QVERIFY(doc.IsModified());
        QVERIFY(program.View().GetRecvDlg() == nullptr);
        QVERIFY(program.Frame().isEnabled());
    }

    void aBadChecksumIsShownAndAddsNothing() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CModalAnswers answers({Press(QMessageBox::Ok)});
        QVERIFY(program.pty.Write(kBadChecksum));
        QTRY_COMPARE_WITH_TIMEOUT(answers.Count(), 1, kPatienceMs);
        QCOMPARE(answers.Texts().constFirst(),
                 QString::fromUtf8("エラー：チェックサムが不正でおさる"));
        QTest::qWait(50);
        QCOMPARE(program.View().GetRowCount(), 0);
        QVERIFY(program.Doc().m_blocks.empty());
        QVERIFY(!program.Doc().IsModified());
        QVERIFY(program.Frame().isEnabled());
    }

    void cancelReturnsTheReceiverToWaitingForAHeader() {
        CStartedProgram program;
        QVERIFY(program.Start());
        // 16 bytes announced, 2 come: the bar shows 12 and the window waits.
        QVERIFY(program.pty.Write("CAS1\r\n0010\r\n0102\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(program.View().GetRecvDlg() != nullptr, kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(program.View().GetRecvDlg()->GetPos(), 12, kPatienceMs);
        QVERIFY(!program.Frame().isEnabled());
        QVERIFY(program.View().GetRecvDlg()->isEnabled());

        program.View().GetRecvDlg()->reject(); // "ちうし"
        QTRY_VERIFY_WITH_TIMEOUT(program.View().GetRecvDlg() == nullptr, kPatienceMs);
        QVERIFY(program.Frame().isEnabled());
        // The rest of the cancelled transfer is not a header and is ignored;
        // the next transfer is received.
        QVERIFY(program.pty.Write("030405060708090A0B0C0D0E0F10\r\n88\r\n" + kGoodTransfer));
        QTRY_COMPARE_WITH_TIMEOUT(program.View().GetRowCount(), 1, kPatienceMs);
        QCOMPARE(program.Doc().m_blocks.front(), (CTapeBlock{kGoodBytes, 1200}));
    }

    void theFarEndClosingShowsTheLostLinkInTheStatusBar() {
        CStartedProgram program;
        QVERIFY(program.Start());
        QCOMPARE(program.Frame().GetIdleText(), QString::fromUtf8("レディ"));
        program.pty.CloseMaster();
        QTRY_VERIFY_WITH_TIMEOUT(program.Frame().GetIdleText().startsWith(
                                     QString::fromUtf8("シリアルポートとの接続が切れました。 (")),
                                 kPatienceMs);
        QVERIFY(program.Frame().GetIdleText().endsWith(res::Text(res::IDS_PORT_REOPEN_HINT)));
    }

    void aLineLostInMidBlockClosesTheDialogSaysSoAndSendingWaits() {
        CStartedProgram program;
        QVERIFY(program.Start());
        QVERIFY(program.Enabled(res::ID_SEND_PROGRAM));
        QVERIFY(program.pty.Write("CAS1\r\n0010\r\n0102\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(program.View().GetRecvDlg() != nullptr, kPatienceMs);
        CModalAnswers answers({Press(QMessageBox::Ok)});
        program.pty.CloseMaster();
        QTRY_COMPARE_WITH_TIMEOUT(answers.Count(), 1, kPatienceMs);
        QCOMPARE(answers.Texts(), QStringList{res::Text(res::IDS_TRANSFER_CUT_OFF)});
        QVERIFY(program.View().GetRecvDlg() == nullptr);
        QVERIFY(program.Frame().isEnabled());
        QVERIFY(program.Doc().m_blocks.empty());
        QVERIFY(!program.Enabled(res::ID_SEND_PROGRAM));
        QVERIFY(program.Enabled(res::ID_COMM_SETTINGS));
    }

    void sendingPutsExactlyTheLoaderOnTheLine() {
        CStartedProgram program;
        QVERIFY(program.Start());
        const auto loader = LoaderBytesToSend(GetLoaderResource());
        const Bytes expected(loader.begin(), loader.end());
        Bytes got;
        QTimer reader;
        connect(&reader, &QTimer::timeout, [&] {
            const Bytes more = program.pty.Read(expected.size(), 5ms);
            got.insert(got.end(), more.begin(), more.end());
        });
        reader.start(10);
        // The dialog ends on its own once the queue is empty.
        CModalAnswers answers(
            {[](QWidget* dlg) { QVERIFY(qobject_cast<CSendProgressDlg*>(dlg)); }});
        program.Command(res::ID_SEND_PROGRAM).trigger();
        QCOMPARE(answers.Count(), 1);
        QCOMPARE(program.View().GetCommPort().GetSendPending(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(got.size(), expected.size(), kPatienceMs);
        QVERIFY(got == expected);
    }

    void portOnTheCommandLineSkipsTheDialog() {
        CStartedProgram program;
        CModalAnswers answers({});
        QVERIFY(program.Start());
        QCOMPARE(answers.Count(), 0);
        QVERIFY(program.View().GetCommPort().IsOpen());
        QVERIFY(program.View().HasColumns());
        QVERIFY(program.Frame().isVisible());
    }

    void withoutAPortTheTapeOpensAndSendingWaitsForOne() {
        QTemporaryDir dir;
        const QString tape = dir.filePath("tape.kxm");
        {
            CRelmuthDoc doc;
            doc.ReplaceTape({CTapeBlock{kGoodBytes, 1200}});
            QVERIFY(doc.OnSaveDocument(tape.toStdString()));
        }
        CRelmuthApp app;
        CCommandLineInfo info;
        info.strFileName = tape.toStdString();
        info.port = CStartPort{"/dev/relmuth-no-such-port", BAUD_9600};
        CModalAnswers answers({Press(QMessageBox::Ok), [](QWidget* modal) {
                                   for (auto* button : modal->findChildren<QPushButton*>())
                                       if (button->text() == res::Text(res::IDS_BUTTON_NO_PORT))
                                           button->click();
                               }});
        QVERIFY(app.InitInstance(info));
        QCOMPARE(answers.Count(), 2);
        QVERIFY(app.GetMainFrame()->isVisible());
        QVERIFY(app.GetView()->HasColumns());
        QCOMPARE(app.GetView()->GetRowCount(), 1);
        QCOMPARE(app.GetMainFrame()->GetLinkStatusText(), res::Text(res::IDS_NO_PORT));
        QCOMPARE(app.GetMainFrame()->GetTapeStatusText(),
                 QString::fromUtf8("1 ブロック, 3 バイト"));
        app.GetMainFrame()->OnUpdateCmdUi();
        QVERIFY(!app.GetMainFrame()->GetCommandAction(res::ID_SEND_PROGRAM)->isEnabled());
        QVERIFY(app.GetMainFrame()->GetCommandAction(res::ID_COMM_SETTINGS)->isEnabled());
        QVERIFY(app.GetMainFrame()->GetCommandAction(res::ID_FILE_SAVE)->isEnabled());
    }

    void anOpenLineSaysWhatToTypeOnThePc8801() {
        CStartedProgram program;
        QVERIFY(program.Start());
        QCOMPARE(program.Frame().GetLinkStatusText(),
                 QString::fromUtf8("PC-8801 で LOAD \"COM:N71XN\" と入力してから送信してください"));
        program.View().SelectRow(0);
        QVERIFY(program.pty.Write(kGoodTransfer));
        QTRY_COMPARE_WITH_TIMEOUT(program.View().GetRowCount(), 1, kPatienceMs);
        QCOMPARE(program.Frame().GetTapeStatusText(),
                 QString::fromUtf8("ブロック 1  1 ブロック, 3 バイト"));
    }

    void aMissingPortShowsTheMessageThenTheDialog() {
        CRelmuthApp app;
        CCommandLineInfo info;
        info.port = CStartPort{"/dev/relmuth-no-such-port", BAUD_9600};
        // The message, then the settings dialog, cancelled: the program ends
        // without showing its window or setting up the list.
        CModalAnswers answers({Press(QMessageBox::Ok), Reject()});
        QVERIFY(app.InitInstance(info));
        QCOMPARE(answers.Count(), 2);
        QVERIFY(answers.Texts()[0].startsWith(
            QString::fromUtf8("指定されたポートは使えまへんがな(;_;)")));
        QCOMPARE(answers.Texts()[1], QString("CCommSettingsDlg"));
        QVERIFY(!app.GetMainFrame()->isVisible());
        QVERIFY(!app.GetView()->HasColumns());
        QVERIFY(!app.GetView()->GetCommPort().IsOpen());
        QSignalSpy frameClosed(app.GetMainFrame(), &CMainFrame::closed);
        QTRY_COMPARE_WITH_TIMEOUT(frameClosed.count(), 1, kPatienceMs);
    }
};

QTEST_MAIN(ReceiveSendTest)
#include "ReceiveSendTest.moc"
