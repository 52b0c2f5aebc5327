// SPDX-License-Identifier: GPL-3.0-or-later
// The window program's dialogs: settings, the unusable-port message, the
// receive and send progress dialogs and the About box.
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <climits>
#include <cstdlib>
#include <memory>

#include "../QtTestSupport.h"
#include "../serial/FakeSerialDevice.h"
#include "../serial/PtyPair.h"
#include "qt/AboutDlg.h"
#include "qt/CommSettingsDlg.h"
#include "qt/RecvProgressDlg.h"
#include "qt/SendProgressDlg.h"
#include "qt/ViewEvents.h"
#include "res/Strings.h"
#include "res/UiText.h"
#include "serial/CommPort.h"
#include "session/SendLoader.h"
#include "session/TapeSession.h"

namespace {

QStringList Entries(const QComboBox* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

// The view's stand-in: counts the cancels the receive dialog posts.
class CCancelCounter : public QWidget {
  public:
    int m_nCancels = 0;

  protected:
    bool event(QEvent* event) override {
        if (event->type() == WM_RECV_CANCEL) {
            ++m_nCancels;
            return true;
        }
        return QWidget::event(event);
    }
};

QPushButton* ButtonWithText(QWidget* dialog, res::StringId id) {
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
        if (button->text() == res::Text(id))
            return button;
    return nullptr;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private slots:
    void settingsDialogStartsAfreshEveryTime();
    void settingsDialogOpensTheChosenDevice();
    void settingsDialogTakesATypedPathAndOffersGoingOnWithoutAPort();
    void unusablePortMessageGivesTheReason();
    void receiveProgressPercentages();
    void receiveCancelPostsToTheViewAndStaysOpen();
    void sendDialogEndsWhenTheQueueIsEmpty();
    void sendDialogCancelDropsTheQueue();
    void aboutBoxShowsTheVersion();
};

void DialogsTest::settingsDialogStartsAfreshEveryTime() {
    {
        CCommSettingsDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("通信パラメータの設定"));
        const auto lists = dlg.findChildren<QComboBox*>();
        QCOMPARE(lists.size(), 2);
        QCOMPARE(Entries(lists[0]).mid(0, 4), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
        QCOMPARE(Entries(lists[1]), (QStringList{"1200", "2400", "4800", "9600", "19200"}));
        CModalAnswer answer([](QWidget* modal) {
            const auto lists = modal->findChildren<QComboBox*>();
            QCOMPARE(lists[0]->currentText(), QStringLiteral("COM1"));
            QCOMPARE(lists[1]->currentText(), QStringLiteral("9600"));
            lists[0]->setCurrentIndex(2);
            lists[1]->setCurrentIndex(4);
            ButtonWithText(modal, res::IDS_BUTTON_OK)->click();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QVERIFY(answer.Answered() && !answer.TimedOut());
        QCOMPARE(dlg.GetPortName(), std::string("COM3"));
        QCOMPARE(dlg.GetDevicePath(), std::string("/dev/ttyS2"));
        QCOMPARE(dlg.GetBaudFlag(), unsigned(BAUD_19200));
    }
    // The next dialog shows the defaults again, and Escape cancels it.
    CCommSettingsDlg again;
    CModalAnswer answer([](QWidget* modal) {
        const auto lists = modal->findChildren<QComboBox*>();
        QCOMPARE(lists[0]->currentText(), QStringLiteral("COM1"));
        QCOMPARE(lists[1]->currentText(), QStringLiteral("9600"));
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QCOMPARE(again.exec(), int(QDialog::Rejected));
    QVERIFY(answer.Answered() && !answer.TimedOut());
}

namespace {

// A session whose port is an in-memory line the test holds back or lets go.
struct CHeldPort : CSessionOwner {
    std::shared_ptr<CFakeLine> line = std::make_shared<CFakeLine>();
    CRelmuthDoc doc;
    CTapeSession session{doc, *this, {}};
    CCommPort& port = session.GetPort();

    CHeldPort() {
        line->nWriteCredits = 0;
        session.OpenPort(std::make_unique<CFakeSerialDevice>(line), BAUD_9600);
    }
    void OpenRecvProgress(int) override {}
    void SetRecvProgress(int) override {}
    void CloseRecvProgress() override {}
    void ShowMessage(res::StringId) override {}
    void OnLinkLost(const CCommError&) override {}
    void Release() {
        line->Change([](CFakeLine& l) { l.nWriteCredits = -1; });
    }
};

} // namespace

void DialogsTest::settingsDialogTakesATypedPathAndOffersGoingOnWithoutAPort() {
    {
        // A path typed into the port box is the port, as it is written; the
        // box is wide enough for its longest entry.
        CCommSettingsDlg dlg;
        QComboBox* ports = dlg.findChildren<QComboBox*>()[0];
        QVERIFY(ports->isEditable());
        int nLongest = 0;
        for (int i = 0; i < ports->count(); ++i)
            nLongest = std::max(nLongest, static_cast<int>(ports->itemText(i).size()));
        QVERIFY(ports->minimumContentsLength() >= nLongest);
        QVERIFY(ButtonWithText(&dlg, res::IDS_BUTTON_NO_PORT) == nullptr);
        ports->setEditText(QStringLiteral(" /dev/ttyUSB3 "));
        dlg.accept();
        QCOMPARE(dlg.GetPortName(), std::string("/dev/ttyUSB3"));
        QCOMPARE(dlg.GetDevicePath(), std::string("/dev/ttyUSB3"));
        // An entry's text typed again is that entry.
        ports->setEditText(QStringLiteral("COM2"));
        dlg.accept();
        QCOMPARE(dlg.GetDevicePath(), std::string("/dev/ttyS1"));
    }
    // At start-up: "ポートなしで続ける" ends the dialog with a result of its own.
    CCommSettingsDlg start(nullptr, true);
    CModalAnswer answer(
        [](QWidget* modal) { ButtonWithText(modal, res::IDS_BUTTON_NO_PORT)->click(); });
    QCOMPARE(start.exec(), CCommSettingsDlg::kContinueWithoutPort);
    QVERIFY(answer.Answered() && !answer.TimedOut());
}

void DialogsTest::settingsDialogOpensTheChosenDevice() {
    // The virtual PC-8801 is the last entry while its link leads to its
    // line; here the line is a pseudo-terminal the test holds.
    CPtyPair pty;
    const QString runtime = QDir::temp().filePath(QStringLiteral("relmuth-dialogs-runtime"));
    QDir(runtime).removeRecursively();
    QVERIFY(QDir().mkpath(runtime));
    const QString link = runtime + QStringLiteral("/relmuth-pc88.tty");
    QVERIFY(QFile::link(QString::fromStdString(pty.SlavePath()), link));
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());

    CCommSettingsDlg dlg;
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    QComboBox* ports = dlg.findChildren<QComboBox*>()[0];
    QCOMPARE(ports->itemText(ports->count() - 1), res::Text(res::IDS_PORT_PC88_LINK));
    ports->setCurrentIndex(ports->count() - 1);
    dlg.accept();
    QCOMPARE(dlg.GetDevicePath(), link.toStdString());

    // The choice opens in a session as the view has it open.
    CHeldPort owner;
    CTapeSession session(owner.doc, owner, {});
    QVERIFY(session.OpenPort(dlg.GetDevicePath(), dlg.GetBaudFlag()));
    const std::vector<std::uint8_t> hello{'1', '0', ' ', 'A', '\r', '\n'};
    session.GetPort().Send(hello);
    QCOMPARE(pty.Read(hello.size(), std::chrono::seconds(10)), hello);
    session.ClosePort();
    QDir(runtime).removeRecursively();
}

void DialogsTest::unusablePortMessageGivesTheReason() {
    CCommPort port;
    QVERIFY(
        !port.Open("/nonexistent/ttyUSB7", BAUD_9600, DATABITS_7, STOPBITS_10, PARITY_NONE, true));
    CModalAnswer answer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("Relmuth"));
        QCOMPARE(box->text(), QStringLiteral("指定されたポートは使えまへんがな(;_;)"));
        QCOMPARE(box->informativeText(),
                 "/nonexistent/ttyUSB7: " + QString::fromStdString(port.GetOpenError().strReason));
        box->button(QMessageBox::Ok)->click();
    });
    ShowPortUnusableMessage(nullptr, "/nonexistent/ttyUSB7", port.GetOpenError());
    QVERIFY(answer.Answered() && !answer.TimedOut());
}

void DialogsTest::receiveProgressPercentages() {
    CCancelCounter view;
    CRecvProgressDlg dlg(&view, &view);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("データ送信"));
    QCOMPARE(dlg.findChild<QLabel*>()->text(), QStringLiteral("データ受信ちう..."));
    struct Row {
        int nTotal, nReceived, nPos;
    } rows[] = {
        {3, 1, 33},
        {64, 70, 100},
        {3, -1, 0},
        {0, 0, 100},                // nothing announced: no division
        {INT_MAX, INT_MAX / 2, 49}, // the product would overflow 32 bits
    };
    for (const Row& row : rows) {
        dlg.m_nTotal = row.nTotal;
        dlg.SetProgress(row.nReceived);
        QCOMPARE(dlg.GetPos(), row.nPos);
    }
}

// The view disables the main frame while a transfer runs; the dialog must
// stay usable, and each way of cancelling only posts to the view.
void DialogsTest::receiveCancelPostsToTheViewAndStaysOpen() {
    QMainWindow frame;
    auto* view = new CCancelCounter;
    frame.setCentralWidget(view);
    frame.show();
    CRecvProgressDlg dlg(view, view);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    frame.setEnabled(false);
    QVERIFY(dlg.isEnabled());

    QPushButton* stop = ButtonWithText(&dlg, res::IDS_BUTTON_STOP);
    QVERIFY(stop != nullptr && stop->isEnabled());
    QTest::mouseClick(stop, Qt::LeftButton);
    QCOMPARE(view->m_nCancels, 0); // posted, not sent: the view hears of it from its own loop
    QTRY_COMPARE(view->m_nCancels, 1);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTRY_COMPARE(view->m_nCancels, 2);
    QVERIFY(!dlg.close()); // the window's close button
    QTRY_COMPARE(view->m_nCancels, 3);
    QVERIFY(dlg.isVisible());

    frame.setEnabled(true);
    dlg.setEnabled(false); // a disable aimed at the dialog itself holds
    QVERIFY(!dlg.isEnabled());
}

namespace {

// 40 bytes that end as the loader does.
std::vector<std::uint8_t> Text40() {
    std::vector<std::uint8_t> bytes(32);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>('A' + i % 26);
    for (const char c : std::string_view(kLoaderEndMarker))
        bytes.push_back(static_cast<std::uint8_t>(c));
    return bytes;
}

} // namespace

void DialogsTest::sendDialogEndsWhenTheQueueIsEmpty() {
    CHeldPort held;
    QVERIFY(held.port.IsOpen());
    const auto text = Text40();
    QCOMPARE(held.session.StartSendLoader(text), 40);

    CSendProgressDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("プログラム送信"));
    dlg.m_pSession = &held.session;
    bool bHeldOpen = false;
    int nHeldPos = -1;
    // While the line holds the text back, the dialog waits; let go, it ends.
    QTimer::singleShot(350, &dlg, [&] {
        bHeldOpen = QApplication::activeModalWidget() == &dlg;
        nHeldPos = dlg.GetPos();
        held.Release();
    });
    CModalAnswer guard([](QWidget*) {});
    QCOMPARE(dlg.exec(), int(QDialog::Accepted));
    QVERIFY(!guard.TimedOut());
    QVERIFY(bHeldOpen);
    QCOMPARE(nHeldPos, 0);
    QCOMPARE(dlg.GetPos(), 100);
    QCOMPARE(held.line->Written(), text);
}

void DialogsTest::sendDialogCancelDropsTheQueue() {
    CHeldPort held;
    const auto text = Text40();
    held.session.StartSendLoader(text);

    CSendProgressDlg dlg;
    dlg.m_pSession = &held.session;
    CModalAnswer answer([](QWidget* modal) {
        QPushButton* stop = ButtonWithText(modal, res::IDS_BUTTON_STOP);
        QVERIFY(stop != nullptr);
        stop->click();
    });
    QCOMPARE(dlg.exec(), int(QDialog::Rejected));
    QVERIFY(answer.Answered() && !answer.TimedOut());
    QCOMPARE(held.port.GetSendPending(), 0);

    // The chunk that was waiting for the line still goes; nothing after it.
    held.Release();
    QTRY_VERIFY(held.line->Look([](CFakeLine& l) { return l.nWriteAttempts > 1; }));
    QTest::qWait(50);
    const auto written = held.line->Written();
    QVERIFY(written.size() <= CCommPort::kChunkSize);
    QVERIFY(std::equal(written.begin(), written.end(), text.begin()));
}

void DialogsTest::aboutBoxShowsTheVersion() {
    CAboutDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("バージョン情報(Relmuth)"));
    QCOMPARE(dlg.GetVersionLine(), QStringLiteral("Relmuth Ver. 1, 0, 2"));
    bool bIconShown = false;
    for (QLabel* label : dlg.findChildren<QLabel*>())
        bIconShown = bIconShown || !label->pixmap().isNull();
    QVERIFY(bIconShown);
}

QTEST_MAIN(DialogsTest)
#include "DialogsTest.moc"
