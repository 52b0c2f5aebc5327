// SPDX-License-Identifier: GPL-3.0-or-later
// SIGINT and SIGTERM, blocked while the clean-up lives, are read from a
// signalfd by a thread of its own.
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdint>
#include <thread>

#include "tools/relmuth-tape/SaveCleanup.h"

struct CSaveCleanup::Impl {
    sigset_t set{};
    sigset_t old{};
    int signalFd = -1;
    int stopFd = -1;
    std::thread watcher;

    void Watch(const CSaveCleanup& owner) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents != 0)
                return;
            signalfd_siginfo info;
            if (fds[0].revents == 0 || ::read(signalFd, &info, sizeof info) != sizeof info)
                continue;
            owner.RemoveTemporaryFiles();
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
};

CSaveCleanup::CSaveCleanup(const std::string& strOut) : m_impl(std::make_unique<Impl>()) {
    SaveTemporaryPlace(strOut, m_strFolder, m_strPrefix);
    Impl& impl = *m_impl;
    sigemptyset(&impl.set);
    sigaddset(&impl.set, SIGINT);
    sigaddset(&impl.set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &impl.set, &impl.old);
    impl.signalFd = signalfd(-1, &impl.set, SFD_CLOEXEC);
    impl.stopFd = eventfd(0, EFD_CLOEXEC);
    if (impl.signalFd >= 0 && impl.stopFd >= 0)
        impl.watcher = std::thread([this] { m_impl->Watch(*this); });
}

CSaveCleanup::~CSaveCleanup() {
    Impl& impl = *m_impl;
    if (impl.watcher.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(impl.stopFd, &one, sizeof one);
        impl.watcher.join();
    }
    if (impl.signalFd >= 0)
        ::close(impl.signalFd);
    if (impl.stopFd >= 0)
        ::close(impl.stopFd);
    // A signal that came after the watcher stopped ends the program here.
    pthread_sigmask(SIG_SETMASK, &impl.old, nullptr);
}
