// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth: the window program.
#include <QApplication>

#include <cstdio>

#include "qt/CommandLine.h"
#include "qt/MainFrame.h"
#include "qt/RelmuthApp.h"
#include "res/Version.h"

namespace {

constexpr int kExitUsage = 2;

int PrintInfo(CCommandLineAction action) {
    if (action == CCommandLineAction::help)
        std::fputs(kRelmuthHelp, stdout);
    else
        std::printf("relmuth (%s) %s\n%s\n", res::kAppName, res::kVersionDotted, res::kLicenseLine);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    if (const auto request = FindInfoRequest(argc, argv); request != CCommandLineAction::run)
        return PrintInfo(request);

    QApplication qtApp(argc, argv);
    CCommandLineInfo cmdInfo;
    QString strError;
    const auto action = ParseCommandLine(QApplication::arguments(), cmdInfo, strError);
    if (action == CCommandLineAction::usageError) {
        std::fprintf(stderr, "relmuth: %s\nTry 'relmuth --help'.\n", qPrintable(strError));
        return kExitUsage;
    }
    if (action != CCommandLineAction::run)
        return PrintInfo(action);

    CRelmuthApp app;
    if (!app.InitInstance(cmdInfo))
        return 1;
    QObject::connect(app.GetMainFrame(), &CMainFrame::closed, &qtApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}
