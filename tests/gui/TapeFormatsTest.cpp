// SPDX-License-Identifier: GPL-3.0-or-later
// The tape formats beyond KXM and raw images, as the window program offers
// them: the file dialogs' lists, cassette recordings decoded into the list,
// the message that lists damaged bytes, and a decoding the user stops.
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include "ProgramFixture.h"
#include "audio/RecordingFormats.h"
#include "qt/DecodeProgressDlg.h"
#include "res/UiText.h"
#include "tape/BlockInfo.h"

namespace {

void Append(ByteArray& bytes, const char* text) {
    bytes.insert(bytes.end(), text, text + std::strlen(text));
}

// A BASIC program at 1200 baud, a named machine-code file at 600 and a data
// block at 1200.
std::vector<CTapeBlock> TapeOfEveryKind() {
    ByteArray basic(kBasicLeadCount, kBasicLeadByte);
    Append(basic, "HELLO \x0f\x80\x0a");
    basic.resize(basic.size() + 6, 0x00);
    ByteArray machine;
    Append(machine, "$$$GAME  ");
    machine.insert(machine.end(), {':', 0xC0, 0x00, 0x04, 0x3E, 0x41, 0xCD, 0x00, 0xB0, 0x3A});
    ByteArray data(kDataLeadCount, kDataLeadByte);
    Append(data, "DATA 1,2,3\r\n");
    return {{basic, 1200}, {machine, 600}, {data, 1200}};
}

// The blocks saved by the document under this name: a .wav is a recording.
QString Saved(const QTemporaryDir& dir, const char* name, std::vector<CTapeBlock> blocks) {
    CRelmuthDoc doc(nullptr, TapeFormats());
    doc.ReplaceTape(std::move(blocks));
    const QString path = dir.filePath(QString::fromUtf8(name));
    return doc.OnSaveDocument(path.toStdString()) ? path : QString();
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a file dialog showed: the entries of its type list as the user reads
// them, the entry chosen, and the extension a bare name gets.
struct CDialogSeen {
    QStringList entries;
    QString chosen;
    QString suffix;
    QString suffixAfterT88; // after the user picked the third entry
    QString name;           // the file name it started with
};

CModalAnswers::Answer LookAtFileDialog(CDialogSeen& seen) {
    return [&seen](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog != nullptr);
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        QVERIFY(types != nullptr);
        for (int i = 0; i < types->count(); ++i)
            seen.entries << types->itemText(i);
        seen.chosen = types->currentText();
        seen.suffix = dialog->defaultSuffix();
        const QStringList files = dialog->selectedFiles();
        seen.name = files.isEmpty() ? QString() : QFileInfo(files.constFirst()).fileName();
        QTest::keyClick(types, Qt::Key_Down);
        QTest::keyClick(types, Qt::Key_Down);
        seen.suffixAfterT88 = dialog->defaultSuffix();
        dialog->reject();
    };
}

// Watches windows come up: calls onDecodeShown when the decode progress
// dialog shows, and counts the message boxes.
class CShowWatch : public QObject {
  public:
    CShowWatch() { qApp->installEventFilter(this); }
    std::function<void(CDecodeProgressDlg*)> onDecodeShown;
    int nMessageBoxes = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<CDecodeProgressDlg*>(watched); dialog && onDecodeShown)
                onDecodeShown(dialog);
            if (qobject_cast<QMessageBox*>(watched) != nullptr)
                ++nMessageBoxes;
        }
        return false;
    }
};

} // namespace

class TapeFormatsTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { InitProgramTests(); }

    void fileDialogsOfferT88AndRecordingsAfterTheTapeImages() {
        CStartedProgram program;
        QVERIFY(program.Start());
        const QStringList first{QString::fromUtf8("Nerith Tape Image (kxm, cmt)"),
                                QString::fromUtf8("すべてのﾌｧｲﾙ (*.*)"),
                                QString::fromUtf8("T88 テープイメージ (*.t88)")};
        CDialogSeen open;
        CDialogSeen save;
        {
            CModalAnswers answers({LookAtFileDialog(open), LookAtFileDialog(save)});
            program.Command(res::ID_FILE_OPEN).trigger();
            program.Command(res::ID_FILE_SAVE_AS).trigger();
            QCOMPARE(answers.Count(), 2);
        }
        QCOMPARE(open.entries,
                 first + QStringList{QString::fromUtf8(
                             "カセット録音 (*.wav *.flac *.ogg *.aif *.aiff *.mp3)")});
        QCOMPARE(save.entries, first + QStringList{QString::fromUtf8("WAV 録音 (*.wav)")});
        for (const CDialogSeen* seen : {&open, &save}) {
            QCOMPARE(seen->chosen, first[0]);
            QCOMPARE(seen->suffix, QStringLiteral("kxm"));
        }
        // A name typed bare under the T88 entry is saved as T88.
        QCOMPARE(save.suffixAfterT88, QStringLiteral("t88"));
        QCOMPARE(save.name, QString::fromUtf8("無題.kxm"));
    }

    void aRecordingOpensAsItsBlocksAndIsNotSavedOverUnasked() {
        QTemporaryDir dir;
        const std::vector<CTapeBlock> tape = TapeOfEveryKind();
        const QString wav = Saved(dir, "side-a.wav", tape);

        CStartedProgram program;
        QVERIFY(program.Start());
        {
            CModalAnswers none({});
            QCOMPARE(program.app.OpenDocumentFile(wav.toStdString()),
                     CRelmuthApp::OpenResult::opened);
            QCOMPARE(none.Count(), 0); // a clean recording opens without a word
        }
        QCOMPARE(program.Doc().m_blocks, tape);
        QCOMPARE(program.View().GetRowCount(), 3);
        QCOMPARE(program.View().model()->index(1, 3).data().toString(), QStringLiteral("GAME  "));
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("side-a.wav[*] - Relmuth"));

        // Save asks where to: the recording is the user's original.
        const QByteArray original = Contents(wav);
        CDialogSeen seen;
        {
            CModalAnswers answers({LookAtFileDialog(seen)});
            program.Command(res::ID_FILE_SAVE).trigger();
            QCOMPARE(answers.Count(), 1);
        }
        QCOMPARE(seen.name, QStringLiteral("side-a.kxm"));
        QCOMPARE(Contents(wav), original);
    }

    void aRawSaveSaysWhatItLosesFirstAndAnEmptyRecordingIsRefused() {
        QTemporaryDir dir;
        const QString cas = Saved(dir, "fast.cas", {});
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthDoc& doc = program.Doc();
        doc.SetPathName(cas.toStdString());
        doc.ReplaceTape({TapeOfEveryKind()[2]}); // 1200 baud
        const auto click = [](res::StringId nButton, QString& text, QString& details) {
            return [nButton, &text, &details](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box != nullptr);
                text = box->text();
                details = box->informativeText();
                for (QAbstractButton* button : box->buttons())
                    if (button->text() == res::Text(nButton))
                        button->click();
            };
        };
        QString text;
        QString details;
        {
            // Another format: the save dialog, here cancelled; nothing written.
            CModalAnswers answers({click(res::IDS_BUTTON_OTHER_FORMAT, text, details), Reject()});
            program.Command(res::ID_FILE_SAVE).trigger();
            QCOMPARE(answers.Count(), 2);
            QCOMPARE(answers.Texts()[1], QString("QFileDialog"));
        }
        QCOMPARE(text, res::Text(res::IDS_SAVE_LOSSES));
        QVERIFY2(details.contains(QString::fromUtf8("600 ボー")), qPrintable(details));
        QCOMPARE(Contents(cas), QByteArray());
        QVERIFY(doc.IsModified());
        {
            CModalAnswers answers({click(res::IDS_BUTTON_SAVE_ANYWAY, text, details)});
            program.Command(res::ID_FILE_SAVE).trigger();
            QCOMPARE(answers.Count(), 1);
        }
        QVERIFY(!Contents(cas).isEmpty());
        QVERIFY(!doc.IsModified());

        // A sound file without a sample is no tape: said, and the tape stays.
        const QString silent = dir.filePath("silent.wav");
        QVERIFY(QFile(silent).open(QIODevice::WriteOnly));
        CModalAnswers answers({Press(QMessageBox::Ok)});
        QCOMPARE(program.app.OpenDocumentFile(silent.toStdString()),
                 CRelmuthApp::OpenResult::failed);
        QCOMPARE(answers.Count(), 1);
        QVERIFY(answers.Texts()[0].contains(res::Text(res::IDS_RECORDING_NO_BLOCKS)));
        QCOMPARE(doc.m_blocks, std::vector<CTapeBlock>{TapeOfEveryKind()[2]});
        QCOMPARE(doc.GetPathName(), cas.toStdString());
    }

    void damagedBytesAreListedWhenTheRecordingOpens() {
        // One data block with a stretch of its signal replaced by noise.
        ByteArray body(kDataLeadCount, kDataLeadByte);
        for (int i = 0; i < 200; ++i)
            body.push_back(static_cast<std::uint8_t>(i * 29 + 3));
        QTemporaryDir dir;
        const QString path = Saved(dir, "worn.WAV", {{body, 1200}});
        QByteArray wav = Contents(path);
        // 16-bit samples; the block's bytes end where the signal ends, and
        // the noise covers about bytes 60 to 90 of its 206.
        qsizetype nEnd = wav.size() - 2;
        while (wav[nEnd] == 0 && wav[nEnd + 1] == 0)
            nEnd -= 2;
        const auto before = [](int nBytes) {
            return 2 * static_cast<qsizetype>(nBytes * 11.0 / 1200 * kRecordingRate);
        };
        std::uint32_t seed = 12345;
        for (qsizetype i = nEnd - before(146); i < nEnd - before(116); ++i) {
            seed = seed * 1664525u + 1013904223u;
            wav[i] = static_cast<char>(seed >> 24);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size());
        file.close();

        CStartedProgram program;
        QVERIFY(program.Start());
        QString heading, listed, details;
        CModalAnswers answers({[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            // The list is filled behind the message.
            QCOMPARE(program.View().GetRowCount(), 1);
            heading = box->text();
            listed = box->informativeText();
            details = box->detailedText();
            box->button(QMessageBox::Ok)->click();
        }});
        QCOMPARE(program.app.OpenDocumentFile(path.toStdString()), CRelmuthApp::OpenResult::opened);
        QCOMPARE(answers.Count(), 1);
        QCOMPARE(program.Doc().m_blocks.size(), 1u);

        const std::vector<CDamagedByte>& damage = program.app.GetRecordingDamage();
        QVERIFY2(damage.size() > 20, qPrintable(QString::number(damage.size())));
        QStringList lines;
        for (const CDamagedByte& d : damage)
            lines << QString::fromStdString(DescribeDamage(d));
        QCOMPARE(heading, res::Text(res::IDS_RECORDING_DAMAGED));
        // The message itself lists the first 20 and counts the rest; its
        // details hold them all.
        QCOMPARE(listed,
                 lines.mid(0, 20).join('\n') + '\n' +
                     QString::fromUtf8("ほかに %1 バイトあります。すべての一覧は詳細にあります。")
                         .arg(lines.size() - 20));
        QCOMPARE(details, lines.join('\n'));

        // The row's mark: the bytes marked, then how clearly the decoder
        // read the block.
        const QAbstractItemModel* model = program.View().model();
        const QString tip = model->index(0, 0).data(Qt::ToolTipRole).toString();
        QCOMPARE(tip.section('\n', 0, 0),
                 QString::fromUtf8("読み取れなかったバイト: %1").arg(damage.size()));
        QVERIFY2(tip.section('\n', 1, 1).startsWith(QString::fromUtf8("読み取りの確かさ: 平均 ")),
                 qPrintable(tip));
        QVERIFY(!model->index(0, 0).data(Qt::DecorationRole).isNull());
    }

    void stoppingTheDecodingKeepsTheTapeAndTheBytesReceivedMeanwhile() {
        QTemporaryDir dir;
        const std::vector<CTapeBlock> tape = TapeOfEveryKind();
        const QString kxm = Saved(dir, "mine.kxm", {tape[0], tape[1]});
        const QString wav = Saved(dir, "other.wav", tape);

        CStartedProgram program;
        QVERIFY(program.Start(kxm.toStdString()));
        CRelmuthView& view = program.View();
        QCOMPARE(view.GetRowCount(), 2);
        program.app.GetDecodeDlg()->m_nShowAfterMs = 0;

        // When the dialog shows, a transfer arrives; the user then stops.
        CShowWatch watch;
        int nRowsWhileDecoding = -1;
        bool bStopped = false;
        watch.onDecodeShown = [&](CDecodeProgressDlg* dialog) {
            QTimer::singleShot(0, dialog, [&, dialog] {
                QVERIFY(program.pty.Write("CAS1\r\n0001\r\n07\r\n07\r\n"));
                QTest::qWait(300);
                nRowsWhileDecoding = view.GetRowCount();
                for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
                    if (button->text() == res::Text(res::IDS_BUTTON_STOP)) {
                        button->click();
                        bStopped = true;
                    }
                }
            });
        };
        QCOMPARE(program.app.OpenDocumentFile(wav.toStdString()),
                 CRelmuthApp::OpenResult::cancelled);
        QVERIFY(bStopped);
        QCOMPARE(nRowsWhileDecoding, 2);
        QCOMPARE(watch.nMessageBoxes, 0);
        QVERIFY(!program.app.GetDecodeDlg()->isVisible());
        QCOMPARE(program.Doc().m_blocks, (std::vector<CTapeBlock>{tape[0], tape[1]}));
        QCOMPARE(view.GetRowCount(), 2);
        QCOMPARE(program.Doc().GetPathName(), kxm.toStdString());
        QVERIFY(!program.Doc().IsModified());
        QCOMPARE(program.Frame().windowTitle(), QString::fromUtf8("mine.kxm[*] - Relmuth"));

        // The transfer that came meanwhile goes onto the tape that stayed.
        QTRY_COMPARE(view.GetRowCount(), 3);
        QCOMPARE(program.Doc().m_blocks[2], (CTapeBlock{{0x07}, 1200}));
        program.Doc().SetModifiedFlag(false);
    }
};

QTEST_MAIN(TapeFormatsTest)
#include "TapeFormatsTest.moc"
