// SPDX-License-Identifier: GPL-3.0-or-later
// The pane of the selected block's contents in the running window program:
// shown and hidden from the View menu, following the list's selection in
// the view each block's kind suggests, telling damage, and highlighting the
// bytes a recording's decoder marked.
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QTest>

#include "ProgramFixture.h"
#include "inspect/BasicCruncher.h"
#include "inspect/BlockView.h"
#include "qt/BlockPane.h"

namespace {

constexpr unsigned kPaneCommand = res::ID_VIEW_BLOCK_PANE;

CTapeBlock Basic() {
    return inspect::BuildBasicBlock("10 PRINT \"ｱｲｳ\"\n20 GOTO 10\n", {'H', 'E', 'L', 'L', 'O'},
                                    kBaudFast);
}

CTapeBlock Machine() {
    // ':' C000, one record of LD A,#01 / RET, the end record.
    return CTapeBlock{{':', 0xC0, 0x00, 0x40, ':', 0x03, 0x3E, 0x01, 0xC9, 0xF5, ':', 0x00, 0x00},
                      kBaudSlow};
}

CTapeBlock Data() {
    return CTapeBlock{{0x9C, 0x9C, 0x9C, 0x9C, 0x9C, 0x9C, 'A', 'B', 'C'}, kBaudFast};
}

QString Shown(const CTapeBlock& block, inspect::EBlockView view) {
    return QString::fromUtf8(inspect::ShowBlock(block.m_data, view).text);
}

} // namespace

class BlockPaneTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { InitProgramTests(); }

    void theViewMenuShowsAndHidesThePaneWithACheckMark() {
        CStartedProgram program;
        QVERIFY(program.Start());
        auto* dock = program.Frame().findChild<QDockWidget*>(QStringLiteral("blockPane"));
        QVERIFY(dock != nullptr);
        QCOMPARE(program.Frame().dockWidgetArea(dock), Qt::BottomDockWidgetArea);
        QCOMPARE(dock->windowTitle(), QString::fromUtf8("ブロックの内容"));
        QVERIFY(dock->isHidden());
        QVERIFY(program.Enabled(kPaneCommand));
        QVERIFY(!program.Command(kPaneCommand).isChecked());

        program.Command(kPaneCommand).trigger();
        QVERIFY(!dock->isHidden());
        QVERIFY(program.Command(kPaneCommand).isChecked());
        program.Command(kPaneCommand).trigger();
        QVERIFY(dock->isHidden());
        QVERIFY(!program.Command(kPaneCommand).isChecked());
    }

    void thePaneFollowsTheSelectionInTheViewOfEachKind() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthDoc& doc = program.Doc();
        doc.ReplaceTape({Basic(), Machine(), Data()});
        auto* pane = program.Frame().findChild<CBlockPane*>();
        QVERIFY(pane != nullptr);
        auto* box = pane->findChild<QComboBox*>();
        auto* entries = qobject_cast<QStandardItemModel*>(box->model());

        program.View().SelectRow(0);
        QCOMPARE(pane->GetText(), QString::fromUtf8("10 PRINT \"ｱｲｳ\"\n20 GOTO 10\n"));
        QCOMPARE(pane->GetView(), inspect::EBlockView::basic);
        QCOMPARE(box->currentText(), QString::fromUtf8("BASICリスト"));

        program.View().SelectRow(1);
        QCOMPARE(pane->GetText(), QString::fromUtf8("C000  3E 01        LD A,#01\n"
                                                    "C002  C9           RET\n"));
        QCOMPARE(box->currentText(), QString::fromUtf8("逆アセンブル"));
        QVERIFY(!entries->item(0)->isEnabled()); // no BASIC listing of machine code
        QVERIFY(entries->item(2)->isEnabled());

        program.View().SelectRow(2);
        QCOMPARE(pane->GetText(), Shown(doc.m_blocks[2], inspect::EBlockView::hex));
        QCOMPARE(box->currentText(), QString::fromUtf8("ダンプ"));

        // The user's choice holds for the block; another block starts again
        // in its own view.
        program.View().SelectRow(0);
        box->activated(2);
        QCOMPARE(pane->GetText(), Shown(doc.m_blocks[0], inspect::EBlockView::hex));
        program.View().SelectRow(1);
        QCOMPARE(pane->GetView(), inspect::EBlockView::machine);

        // ASCII and half-width katakana are of one width, so that the
        // dump's columns line up.
        const QFontMetrics metrics(pane->findChild<QPlainTextEdit*>()->font());
        const int width = metrics.horizontalAdvance(QLatin1Char('W'));
        QCOMPARE(metrics.horizontalAdvance(QLatin1Char('i')), width);
        QCOMPARE(metrics.horizontalAdvance(QString::fromUtf8("ｱ")), width);
    }

    void aBlockThatArrivesIsShownAndAnEmptyTapeShowsNothing() {
        CStartedProgram program;
        QVERIFY(program.Start());
        auto* pane = program.Frame().findChild<CBlockPane*>();
        QCOMPARE(pane->GetText(), QString());
        program.Doc().AppendBlock(Machine());
        program.View().SelectRow(0);
        QCOMPARE(pane->GetView(), inspect::EBlockView::machine);
        // The block changes under the same row: the pane shows it afresh.
        program.Doc().ReplaceBlock(0, Basic());
        QCOMPARE(pane->GetView(), inspect::EBlockView::basic);
        program.Doc().ReplaceTape({});
        QCOMPARE(pane->GetText(), QString());
    }

    void damageIsToldAndTheDecodersMarksAreHighlighted() {
        CStartedProgram program;
        QVERIFY(program.Start());
        CRelmuthDoc& doc = program.Doc();
        CTapeBlock broken = Machine();
        broken.m_data[7] = 0x02; // LD A,#02 under the check byte of #01
        doc.ReplaceTape({broken, Data()});
        doc.SetModifiedFlag(false); // as opened
        program.app.GetRecordingDamage() = {{1, 2, 0.5, ByteFault::framing},
                                            {1, 7, 0.6, ByteFault::lost},
                                            {0, 1, 0.1, ByteFault::lost}};
        auto* pane = program.Frame().findChild<CBlockPane*>();

        program.View().SelectRow(0);
        QCOMPARE(pane->GetNote(), QString::fromUtf8("0004H のレコードのチェックサムが合いません。"
                                                    "バイトは読めたまま表示しています。"));
        QCOMPARE(pane->GetHighlightCount(), 0); // marks only in the dump
        pane->SetView(inspect::EBlockView::hex);
        QCOMPARE(pane->GetHighlightCount(), 1);

        program.View().SelectRow(1);
        QCOMPARE(pane->GetHighlightCount(), 2);
        QCOMPARE(pane->GetNote(),
                 QString::fromUtf8("録音から読めなかったバイト 2 個を色で示しています。"));

        // Once the tape is edited the marks may belong to other blocks.
        doc.ReplaceBlock(1, Data());
        QCOMPARE(pane->GetHighlightCount(), 0);

        // The tape's own marks (read back from a KXM image, say) are
        // highlighted however the tape was edited, with their blocks.
        doc.ReplaceTape({Machine(), Data()},
                        {{1, 1, 2, DamageKind::framing, 100}, {1, 8, 3, DamageKind::lost, 200}});
        doc.MoveBlock(1, 0);
        program.View().SelectRow(0);
        pane->SetView(inspect::EBlockView::hex);
        QCOMPARE(pane->GetHighlightCount(), 3); // the run past the block's end is cut off
    }
};

QTEST_MAIN(BlockPaneTest)
#include "BlockPaneTest.moc"
