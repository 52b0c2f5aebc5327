// SPDX-License-Identifier: GPL-3.0-or-later
// How long the window program takes to open a tape of 20,000 blocks and
// show it: File Open as the user gives it (the document reads the file, the
// view rebuilds its rows), and then the list laid out and painted once.
// Not a test: a program that prints its figures (see BENCHMARKS.md).
//
//   list_fill_bench [BLOCKS] [RUNS]      defaults 20000 and 7
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "qt/MainFrame.h"
#include "qt/RelmuthApp.h"
#include "qt/RelmuthView.h"
#include "serial/DeviceControl.h"

namespace {

// A tape as a long cassette holds it: BASIC programs, named machine code
// and data files in turn, each a block of tens to hundreds of bytes.
std::vector<CTapeBlock> MakeTape(int nBlocks) {
    std::vector<CTapeBlock> blocks(static_cast<std::size_t>(nBlocks));
    for (int i = 0; i < nBlocks; ++i) {
        char name[7];
        std::snprintf(name, sizeof name, "F%05d", i % 100000);
        std::string bytes;
        if (i % 3 == 0)
            bytes = std::string(10, '\xD3') + name;
        else if (i % 3 == 1)
            bytes = std::string("$$$") + name + ":";
        else
            bytes = std::string(6, '\x9C');
        bytes.append(static_cast<std::size_t>(40 + (i * 37) % 400), '\x20');
        CTapeBlock& block = blocks[static_cast<std::size_t>(i)];
        block.m_nBaud = i % 2 ? kBaudFast : kBaudSlow;
        block.m_data.assign(bytes.begin(), bytes.end());
    }
    return blocks;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const int nBlocks = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int nRuns = argc > 2 ? std::atoi(argv[2]) : 7;
    QApplication qtApp(argc, argv);
    QStandardPaths::setTestModeEnabled(true); // never the user's recent files

    QTemporaryDir dir;
    const std::string path = dir.filePath("bench.kxm").toStdString();
    {
        CRelmuthDoc doc;
        doc.ReplaceTape(MakeTape(nBlocks));
        if (!doc.OnSaveDocument(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }

    // The program on a pseudo-terminal, as `relmuth --port PTY` starts it.
    int master = -1;
    int slave = -1;
    char slaveName[256] = {};
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0)
        return 1;
    CRelmuthApp app;
    CCommandLineInfo info;
    info.port = CStartPort{slaveName, BAUD_9600};
    if (!app.InitInstance(info))
        return 1;
    CRelmuthView& view = *app.GetView();
    QApplication::processEvents();

    std::vector<double> open, paint, fill;
    for (int run = 0; run < nRuns; ++run) {
        app.GetFileCommands().OnFileNew();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        if (app.OpenDocumentFile(path) != CRelmuthApp::OpenResult::opened ||
            view.GetRowCount() != static_cast<int>(app.GetDocument().m_blocks.size()))
            return 1;
        const double msOpen = timer.nsecsElapsed() / 1e6;
        view.scrollToBottom();
        view.viewport()->repaint();
        QApplication::processEvents();
        open.push_back(msOpen);
        paint.push_back(timer.nsecsElapsed() / 1e6);

        // The rows alone, from the tape already in memory.
        timer.restart();
        view.OnUpdate(nullptr, {CDocUpdate::reset});
        fill.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("%d blocks, %d runs, median (min..max) in ms\n", view.GetRowCount(), nRuns);
    auto row = [](const char* what, const std::vector<double>& v) {
        std::printf("  %-44s %8.1f (%.1f..%.1f)\n", what, Median(v),
                    *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
    };
    row("File Open: file read, rows built", open);
    row("File Open, then laid out and painted", paint);
    row("rows alone (the view's update)", fill);
    ::close(master);
    ::close(slave);
    return 0;
}
