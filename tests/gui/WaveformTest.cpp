// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform of a damaged byte in the running window program: opened
// from the damage list of a recording and from the View menu on a marked
// row; picking a reading puts it into the tape and takes the mark.
// The tests' signals first: Qt takes the word signals for a keyword.
#include "../audio/Signals.h"
namespace sig = signals;

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ProgramFixture.h"
#include "qt/WaveformDlg.h"
#include "res/UiText.h"

namespace {

// A block of eight bytes at 1200 baud, 1.5 s in; one data bit of byte 4
// (0x5A, the bit a space) is silence, so that it reads 0x5E, undecided.
const ByteArray kBytes{0x10, 0x20, 0x30, 0x40, 0x5A, 0x60, 0x70, 0x80};

bool WriteSpoiledRecording(const QString& path, std::initializer_list<int> spoiled = {4}) {
    sig::Samples x = sig::Write(
        [](CTapeRecordSink& sink) {
            const auto n = static_cast<std::uint32_t>(44 * kBytes.size());
            sink.OnGap(TapeGap::outer, 0, 2400);
            sink.OnData(2400, n, kBaudFast, kBytes);
            sink.OnGap(TapeGap::inner, 2400 + n, 2400);
        },
        44100, 4800);
    // Byte 4's data bit 2, and bit 0 of any other byte: each a space.
    for (const int nByte : spoiled)
        sig::Silence(x, 1.5 + (nByte * 11 + (nByte == 4 ? 3 : 1)) / double(kBaudFast),
                     1.0 / kBaudFast);
    const ByteArray file = sig::WaveFile(x);
    QFile out(path);
    return out.open(QIODevice::WriteOnly) &&
           out.write(reinterpret_cast<const char*>(file.data()),
                     static_cast<qint64>(file.size())) == static_cast<qint64>(file.size());
}

} // namespace

class WaveformTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        InitProgramTests();
        QVERIFY(dir.isValid());
        path = dir.filePath(QStringLiteral("take.wav"));
        QVERIFY(WriteSpoiledRecording(path));
    }

    // The damage list offers the waveform; there the second reading is
    // picked: the tape holds the byte written, the mark is gone, and the
    // list says which reading the tape holds now.
    void theDamageListOpensTheWaveformWherePickingAReadingChangesTheByte() {
        CStartedProgram program;
        QStringList shown;
        CModalAnswers answers({
            [](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                QVERIFY(box != nullptr);
                for (QAbstractButton* button : box->buttons()) {
                    if (button->text() == res::Text(res::IDS_WAVEFORM_SHOW))
                        button->click();
                }
            },
            [&](QWidget* modal) {
                auto* dlg = qobject_cast<CWaveformDlg*>(modal);
                QVERIFY(dlg != nullptr);
                QListWidget* readings = dlg->GetReadings();
                QCOMPARE(readings->count(), 4);
                readings->setCurrentRow(1);
                dlg->PickSelected();
                for (int i = 0; i < readings->count(); ++i)
                    shown << readings->item(i)->text();
                dlg->accept();
            },
        });
        QVERIFY(program.Start(QFile::encodeName(path).toStdString()));
        QTRY_COMPARE(answers.Count(), 2);
        CRelmuthDoc& doc = program.Doc();
        QCOMPARE(doc.m_blocks.size(), std::size_t{1});
        QVERIFY(doc.m_blocks[0].m_data == kBytes);
        QVERIFY(doc.m_damageMarks.empty());
        QVERIFY(doc.IsModified());
        QCOMPARE(shown.at(0), QString::fromUtf8("5E (01011110) ほかの読み"));
        QCOMPARE(shown.at(1), QString::fromUtf8("5A (01011010) いまの読み"));

        // Undo brings the decoder's reading and its mark back.
        QVERIFY(doc.Undo());
        QCOMPARE(doc.m_blocks[0].m_data[4], std::uint8_t{0x5E});
        QCOMPARE(doc.m_damageMarks.size(), std::size_t{1});
    }

    // The View menu's item is offered on the marked row only, and opens the
    // waveform of its damaged byte.
    void theViewMenuOpensTheWaveformOfTheSelectedMarkedRow() {
        CStartedProgram program;
        {
            CModalAnswers damageList({Press(QMessageBox::Ok)});
            QVERIFY(program.Start(QFile::encodeName(path).toStdString()));
            QTRY_COMPARE(damageList.Count(), 1);
        }
        program.View().SelectRow(-1);
        QVERIFY(!program.Enabled(res::ID_VIEW_WAVEFORM));
        program.View().SelectRow(0);
        QVERIFY(program.Enabled(res::ID_VIEW_WAVEFORM));

        QString title;
        CModalAnswers answers({[&](QWidget* modal) {
            title = modal->windowTitle();
            Reject()(modal);
        }});
        program.Command(res::ID_VIEW_WAVEFORM).trigger();
        QTRY_COMPARE(answers.Count(), 1);
        QCOMPARE(title, QString::fromUtf8("波形 - ブロック 0、4 バイト目"));
        QCOMPARE(program.Doc().m_blocks[0].m_data[4], std::uint8_t{0x5E});
    }

    // The arrows go to the marked byte before or after, each offered only
    // where there is one.
    void theArrowsStepBetweenTheMarkedBytes() {
        const QString twice = dir.filePath(QStringLiteral("twice.wav"));
        QVERIFY(WriteSpoiledRecording(twice, {2, 4}));
        CStartedProgram program;
        {
            CModalAnswers damageList({Press(QMessageBox::Ok)});
            QVERIFY(program.Start(QFile::encodeName(twice).toStdString()));
            QTRY_COMPARE(damageList.Count(), 1);
        }
        QCOMPARE(program.Doc().m_damageMarks.size(), std::size_t{2});
        CTapeSession& session = program.View().GetSession();
        auto wave = session.ReadWaveform(0, 2);
        QVERIFY(wave.has_value());
        CWaveformDlg dlg(session, 0, 2, *wave);
        auto button = [&dlg](res::StringId nId) {
            for (QPushButton* pButton : dlg.findChildren<QPushButton*>()) {
                if (pButton->text() == res::Text(nId))
                    return pButton;
            }
            return static_cast<QPushButton*>(nullptr);
        };
        QVERIFY(!button(res::IDS_WAVEFORM_PREVIOUS)->isEnabled());
        button(res::IDS_WAVEFORM_NEXT)->click();
        QCOMPARE(dlg.GetOffset(), std::size_t{4});
        QCOMPARE(dlg.windowTitle(), QString::fromUtf8("波形 - ブロック 0、4 バイト目"));
        QCOMPARE(dlg.GetReadings()->item(0)->text(), QString::fromUtf8("5E (01011110) いまの読み"));
        QVERIFY(button(res::IDS_WAVEFORM_PREVIOUS)->isEnabled());
        QVERIFY(!button(res::IDS_WAVEFORM_NEXT)->isEnabled());
        QVERIFY(!dlg.Step(true));
        QVERIFY(dlg.Step(false));
        QCOMPARE(dlg.GetOffset(), std::size_t{2});
    }

  private:
    QTemporaryDir dir;
    QString path;
};

QTEST_MAIN(WaveformTest)
#include "WaveformTest.moc"
