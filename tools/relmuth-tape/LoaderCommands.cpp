// SPDX-License-Identifier: GPL-3.0-or-later
// Commands for the loader: print it, or send it to the PC-8801.
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "loader/LoaderText.h"
#include "res/Strings.h"
#include "session/SendLoader.h"
#include "tools/relmuth-tape/CliHost.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/Platform.h"
#include "tools/relmuth-tape/PortOptions.h"

int CmdLoader(const Args& arguments) {
    Args args = arguments;
    DropEndOfOptions(args);
    if (!args.empty())
        return UsageError("loader", "loader takes no arguments");
    const auto bytes = LoaderBytesToSend(GetLoaderResource());
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return WriteOut(text) ? kExitOk : kExitFailed;
}

int CmdSendLoader(const Args& args) {
    CPortOptions options;
    if (!ParsePortOptions("send-loader", args, options))
        return kExitUsage;
    DropEndOfOptions(options.rest);
    if (options.rest.size() != 1)
        return UsageError("send-loader", "send-loader takes PORT [--baud N]");
    options.strPort = options.rest[0];

    // A stop request (SIGINT, SIGTERM; Ctrl+C on Windows) is taken while the
    // text goes out; made before the port, whose threads take it over.
    CCommandWait wait;

    // The port's threads only note the loss; the loop below looks at it. A
    // lost line would otherwise hold the count where it stopped for ever.
    std::mutex lostMutex;
    std::optional<CCommError> lost;
    CRelmuthDoc doc;
    CCliReceiveUi ui;
    CTapeSession session(doc, ui, {{}, [&](const CCommError& e) {
                                       std::lock_guard lock(lostMutex);
                                       lost = e;
                                   }});
    if (!OpenCliPort(session, options))
        return kExitFailed;
    const int nTotal = session.StartSendLoader();
    int nPercent = -1;
    bool bCancelled = false;
    for (;;) {
        const CTapeSession::CSendProgress progress = session.GetSendProgress();
        if (progress.nPercent != nPercent) {
            nPercent = progress.nPercent;
            std::fprintf(stderr, "\rSending the loader: %3d%% of %d bytes", nPercent, nTotal);
            std::fflush(stderr);
        }
        if (progress.bComplete)
            break;
        {
            std::lock_guard lock(lostMutex);
            if (lost)
                break;
        }
        if (wait.Wait(kSendPollMilliseconds) == CCommandWait::Event::stopRequested) {
            session.CancelSend();
            bCancelled = true;
            break;
        }
    }
    std::fputc('\n', stderr);
    // A chunk leaves the queue only once the line has sent it, so nothing is
    // left to wait for when the count reaches 0.
    session.ClosePort();
    if (bCancelled) {
        std::fprintf(stderr, "relmuth-tape: cancelled; the PC-8801 did not get the whole loader\n");
        return kExitFailed;
    }
    if (lost && !session.GetSendProgress().bComplete) {
        std::fprintf(stderr, "%s (%s)\n", std::string(res::LoadString(res::IDS_PORT_LOST)).c_str(),
                     lost->strReason.c_str());
        return kExitFailed;
    }
    return kExitOk;
}
