// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape receive PORT OUT [--baud N] [--count K] [--send-loader]:
// capture blocks from the PC-8801 into a tape file without a window, after
// sending it the loader on the same open port when asked.
//
// The port's callbacks only post: they wake the command's wait, which also
// hears the user's stop request (SIGINT and SIGTERM; Ctrl+C and Ctrl+Break
// on Windows). The main thread hands each wake-up to the tape session,
// which takes the bytes and runs them through the framing and the receiver;
// the tape is saved when a block is stored. A stop request ends the command
// once the bytes already on their way have been handled.
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>

#include "loader/LoaderText.h"
#include "res/SystemReasons.h"
#include "session/SendLoader.h"
#include "session/TapeSession.h"
#include "tools/relmuth-tape/CaptureTarget.h"
#include "tools/relmuth-tape/CliHost.h"
#include "tools/relmuth-tape/Commands.h"
#include "tools/relmuth-tape/Platform.h"
#include "tools/relmuth-tape/PortOptions.h"

namespace {

// After a stop request: how long the line must be quiet before the command
// ends, and the longest it goes on taking bytes.
constexpr std::chrono::milliseconds kStopQuietTime{200};
constexpr std::chrono::milliseconds kStopDrainLimit{2000};

// Where the port's threads post: "bytes arrived" and "the link is lost".
class CPortMailbox {
  public:
    explicit CPortMailbox(CCommandWait& wait) : m_wait(wait) {}

    void PostReceived() { m_wait.Wake(); }
    void PostLinkLost(const CCommError& error) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_lost)
                m_lost = error;
        }
        m_wait.Wake();
    }

    // The loss, when one was posted.
    std::optional<CCommError> Collect() {
        std::lock_guard lock(m_mutex);
        return m_lost;
    }

  private:
    CCommandWait& m_wait;
    std::mutex m_mutex;
    std::optional<CCommError> m_lost;
};

// Receiver messages on standard error (as the base class does); each stored
// block saved at once and listed on standard output.
class CCaptureUi : public CCliReceiveUi {
  public:
    CCaptureUi(CRelmuthDoc& doc, std::string out, std::size_t nLimit)
        : m_doc(doc), m_out(std::move(out)), m_nLimit(nLimit) {}

    // A block is kept once the file holds it, and only then listed.
    void OnBlockStored(std::size_t nIndex) override {
        if (Done())
            return; // beyond --count, or after a failed save: not kept
        if (!m_doc.OnSaveDocument(m_out)) {
            m_bSaveFailed = true;
            return;
        }
        ++m_nStored;
        // A closed output does not stop the capture; it is reported once.
        if (!m_bOutputLost && !PrintLine(BlockListLine(m_doc, nIndex)))
            m_bOutputLost = true;
    }

    bool SaveFailed() const { return m_bSaveFailed; }
    bool Done() const { return m_bSaveFailed || (m_nLimit != 0 && m_nStored >= m_nLimit); }

  private:
    CRelmuthDoc& m_doc;
    std::string m_out;
    std::size_t m_nLimit; // 0: no limit
    std::size_t m_nStored = 0;
    bool m_bSaveFailed = false;
    bool m_bOutputLost = false;
};

// Takes --count K out of args; K from 1.
bool ParseCount(Args& args, std::size_t& nCount) {
    for (std::size_t i = 0; i < OptionsEnd(args); ++i) {
        if (args[i] != "--count")
            continue;
        if (i + 1 == OptionsEnd(args))
            return false;
        const std::string& s = args[i + 1];
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), nCount);
        if (ec != std::errc() || end != s.data() + s.size() || nCount == 0)
            return false;
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        --i;
    }
    return true;
}

} // namespace

int CmdReceive(const Args& args) {
    CPortOptions options;
    if (!ParsePortOptions("receive", args, options))
        return kExitUsage;
    std::size_t nCount = 0;
    if (!ParseCount(options.rest, nCount))
        return UsageError("receive", "--count needs a number of blocks from 1");
    const auto optionsEnd =
        options.rest.begin() + static_cast<std::ptrdiff_t>(OptionsEnd(options.rest));
    const auto sendFlag = std::find(options.rest.begin(), optionsEnd, "--send-loader");
    const bool bSendLoader = sendFlag != optionsEnd;
    if (bSendLoader)
        options.rest.erase(sendFlag);
    DropEndOfOptions(options.rest);
    if (options.rest.size() != 2)
        return UsageError("receive",
                          "receive takes PORT OUT [--baud N] [--count K] [--send-loader]");
    options.strPort = options.rest[0];
    const std::string out = options.rest[1];
    if (out == kStandardStream)
        return UsageError("receive", "OUT must be a file: it is saved again after every block, "
                                     "and standard output has the list lines");

    // A standard output that goes away must not end the capture.
    IgnoreBrokenPipe();

    // A tape that exists is added to; one that cannot be read is left alone
    // rather than replaced by what arrives. OUT is judged before anything
    // is sent or received.
    CCliDocumentHost host;
    CRelmuthDoc doc(&host, TapeFormats());
    std::error_code ec;
    const bool bExists = std::filesystem::exists(PathFromUtf8(out), ec);
    if (!CheckCaptureTarget(out, bExists))
        return kExitFailed;
    if (bExists && !doc.OnOpenDocument(out))
        return kExitFailed;

    // Made before the port, whose threads inherit how stop requests are taken.
    CCommandWait wait;
    CPortMailbox mailbox(wait);
    if (!wait.IsReady()) {
        std::fprintf(stderr, "relmuth-tape: %s\n", res::ErrnoReasonText(errno).c_str());
        return kExitFailed;
    }

    CCaptureUi ui(doc, out, nCount);
    CTapeSession session(doc, ui,
                         {[&mailbox] { mailbox.PostReceived(); },
                          [&mailbox](const CCommError& e) { mailbox.PostLinkLost(e); }});
    if (!OpenCliPort(session, options))
        return kExitFailed;

    // Made now, so that a name that cannot be written is known before the
    // PC-8801 starts sending, not after its first block.
    if (!bExists && !doc.OnSaveDocument(out))
        return kExitFailed;

    session.InstallReceiver();

    // The loader goes out on the port just opened while receiving goes on,
    // as the window program does with its one port.
    const int nLoaderTotal = bSendLoader ? session.StartSendLoader() : 0;
    bool bSending = nLoaderTotal > 0;
    int nSentPercent = -1;

    auto handleReceived = [&] {
        if (!ui.Done()) // beyond --count nothing more is taken
            session.OnPortReceived();
    };
    int status = kExitOk;
    // After a stop request, bytes that were on their way still come: they
    // are taken until the line has been quiet for a moment, so that a
    // transfer complete on the line is stored. A second request ends at once.
    std::optional<std::chrono::steady_clock::time_point> stopBy;
    while (!ui.Done()) {
        if (bSending) {
            const CTapeSession::CSendProgress progress = session.GetSendProgress();
            if (progress.nPercent != nSentPercent) {
                nSentPercent = progress.nPercent;
                std::fprintf(stderr, "\rSending the loader: %3d%% of %d bytes", nSentPercent,
                             nLoaderTotal);
                std::fflush(stderr);
            }
            if (progress.bComplete) {
                std::fputc('\n', stderr);
                bSending = false;
            }
        }
        int nTimeout = bSending ? kSendPollMilliseconds : -1;
        if (stopBy) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= *stopBy)
                break; // a line that never goes quiet
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*stopBy - now);
            const int nQuiet = static_cast<int>(std::min(left, kStopQuietTime).count());
            nTimeout = nTimeout < 0 ? nQuiet : std::min(nTimeout, nQuiet);
        }
        const CCommandWait::Event event = wait.Wait(nTimeout);
        if (event == CCommandWait::Event::failed) {
            std::fprintf(stderr, "relmuth-tape: %s\n", res::ErrnoReasonText(errno).c_str());
            status = kExitFailed;
            break;
        }
        if (event == CCommandWait::Event::timedOut) {
            if (stopBy)
                break; // quiet since the stop request
            continue;  // time to show how far the loader is
        }
        if (event == CCommandWait::Event::stopRequested) {
            if (stopBy)
                break;
            stopBy = std::chrono::steady_clock::now() + kStopDrainLimit;
            continue;
        }
        const std::optional<CCommError> lost = mailbox.Collect();
        // What arrived before the line went away is handled first.
        handleReceived();
        if (lost && !ui.Done()) {
            session.OnPortLost(*lost); // said on standard error
            status = kExitFailed;
            break;
        }
    }
    // The reader may have stored bytes after the last look; once it has
    // stopped, they are all in the port's buffer.
    session.ClosePort();
    handleReceived();
    if (ui.SaveFailed())
        return kExitFailed;
    return status;
}
