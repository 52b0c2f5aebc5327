// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the README's pictures: the main window with a tape of five blocks,
// the receive progress dialog and the settings dialog, with a Japanese
// font, into the folder given (scripts/screenshots.sh runs it). Without such
// a font the texts would be boxes, so it refuses to draw.
#include <QDir>
#include <QFontDatabase>
#include <QTest>

#include <cstdio>

#include "ProgramFixture.h"
#include "qt/CommSettingsDlg.h"
#include "qt/RecvProgressDlg.h"
#include "tape/BlockInfo.h"

namespace {

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

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: relmuth_screenshots FOLDER\n");
        return 2;
    }
    InitProgramTests();
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    if (japanese.isEmpty()) {
        std::fprintf(stderr, "no Japanese font: install fonts-ipafont-gothic\n");
        return 1;
    }
    const QString family = japanese.contains(QStringLiteral("IPAPGothic"))
                               ? QStringLiteral("IPAPGothic")
                               : japanese[0];
    QApplication::setFont(QFont(family, 10));
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir))
        return 1;

    CStartedProgram program;
    if (!program.Start())
        return 1;
    program.Doc().ReplaceTape(ShowcaseTape());
    program.Doc().SetModifiedFlag(false);
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
        if (!QTest::qWaitForWindowExposed(window))
            return 1;
        const QString path = dir + QLatin1Char('/') + QLatin1String(name);
        if (!window->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        window->hide();
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
