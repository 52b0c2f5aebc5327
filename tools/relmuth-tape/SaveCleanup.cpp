// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-tape/SaveCleanup.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// As many links as the system follows.
constexpr int kMaxLinkDepth = 40;

// The file a save of strOut writes, links followed as the save follows
// them, also to a name that does not exist yet.
fs::path SavedFile(const std::string& strOut) {
    fs::path path = strOut;
    std::error_code ec;
    for (int depth = 0; depth < kMaxLinkDepth && fs::is_symlink(path, ec); ++depth) {
        const fs::path target = fs::read_symlink(path, ec);
        if (ec)
            break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    if (fs::exists(path, ec)) {
        const fs::path canonical = fs::canonical(path, ec);
        if (!ec)
            return canonical;
    }
    return path;
}

} // namespace

CSaveCleanup::CSaveCleanup(const std::string& strOut) {
    const fs::path saved = SavedFile(strOut);
    m_strFolder = saved.has_parent_path() ? saved.parent_path().string() : ".";
    m_strPrefix = "." + saved.filename().string() + "." + std::to_string(::getpid()) + "-";

    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    m_signalFd = signalfd(-1, &m_set, SFD_CLOEXEC);
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (m_signalFd >= 0 && m_stopFd >= 0)
        m_watcher = std::thread([this] { Watch(); });
}

CSaveCleanup::~CSaveCleanup() {
    if (m_watcher.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stopFd, &one, sizeof one);
        m_watcher.join();
    }
    if (m_signalFd >= 0)
        ::close(m_signalFd);
    if (m_stopFd >= 0)
        ::close(m_stopFd);
    // A signal that came after the watcher stopped ends the program here.
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
}

void CSaveCleanup::Watch() {
    pollfd fds[2] = {{m_signalFd, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
    for (;;) {
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents != 0)
            return;
        signalfd_siginfo info;
        if (fds[0].revents == 0 || ::read(m_signalFd, &info, sizeof info) != sizeof info)
            continue;
        RemoveTemporaryFiles();
        // The signal now does what it would have done: end the program.
        const int sig = static_cast<int>(info.ssi_signo);
        ::signal(sig, SIG_DFL);
        sigset_t one;
        sigemptyset(&one);
        sigaddset(&one, sig);
        pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
        ::raise(sig);
        return;
    }
}

void CSaveCleanup::RemoveTemporaryFiles() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_strFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(m_strPrefix) && name.ends_with(".tmp"))
            fs::remove(entry.path(), ec);
    }
}
