// SPDX-License-Identifier: GPL-3.0-or-later
// relmuth-tape on Linux. A stop request is SIGINT or SIGTERM: both are
// blocked in every thread and read from a signalfd; the waiter polls it
// beside an eventfd that other threads bump.
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "tools/relmuth-tape/Platform.h"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void SetUpStandardStreams() {}

bool WriteStream(std::FILE* stream, std::string_view bytes) {
    errno = 0;
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() &&
           std::fflush(stream) == 0;
}

void IgnoreBrokenPipe() {
    ::signal(SIGPIPE, SIG_IGN);
}

struct CCommandWait::Impl {
    sigset_t set{};
    sigset_t old{};
    int signalFd = -1;
    int wakeFd = -1;
};

CCommandWait::CCommandWait() : m_impl(std::make_unique<Impl>()) {
    sigemptyset(&m_impl->set);
    sigaddset(&m_impl->set, SIGINT);
    sigaddset(&m_impl->set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_impl->set, &m_impl->old);
    m_impl->signalFd = signalfd(-1, &m_impl->set, SFD_CLOEXEC | SFD_NONBLOCK);
    const int nErrno = errno;
    m_impl->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_impl->signalFd < 0)
        errno = nErrno;
}

CCommandWait::~CCommandWait() {
    // A signal that came after the last look is dropped: the command is
    // ending anyway.
    if (m_impl->signalFd >= 0) {
        signalfd_siginfo info;
        while (::read(m_impl->signalFd, &info, sizeof info) == sizeof info) {
        }
        ::close(m_impl->signalFd);
    }
    if (m_impl->wakeFd >= 0)
        ::close(m_impl->wakeFd);
    pthread_sigmask(SIG_SETMASK, &m_impl->old, nullptr);
}

bool CCommandWait::IsReady() const {
    return m_impl->signalFd >= 0 && m_impl->wakeFd >= 0;
}

void CCommandWait::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_impl->wakeFd, &one, sizeof one);
}

CCommandWait::Event CCommandWait::Wait(int nTimeoutMs) {
    for (;;) {
        pollfd fds[2] = {{m_impl->signalFd, POLLIN, 0}, {m_impl->wakeFd, POLLIN, 0}};
        const int nReady = ::poll(fds, 2, nTimeoutMs);
        if (nReady < 0) {
            if (errno == EINTR)
                continue;
            return Event::failed;
        }
        if (nReady == 0)
            return Event::timedOut;
        if (fds[0].revents != 0) {
            signalfd_siginfo info;
            if (::read(m_impl->signalFd, &info, sizeof info) == sizeof info)
                return Event::stopRequested;
        }
        if (fds[1].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_impl->wakeFd, &count, sizeof count);
            return Event::woken;
        }
    }
}
