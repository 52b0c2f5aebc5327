// SPDX-License-Identifier: GPL-3.0-or-later
// A serial line on a POSIX terminal device. The stop signal is an eventfd
// that is written once and never read, so it stays readable and every poll
// that includes it returns at once from then on.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "serial/SerialDevice.h"

namespace {

// Device numbers of pseudo-terminal slaves: the Unix98 ones (/dev/pts/N,
// majors 136 to 143) and the old BSD style (/dev/ttyp0..., major 3).
constexpr unsigned kUnix98PtySlaveFirstMajor = 136;
constexpr unsigned kUnix98PtySlaveMajors = 8;
constexpr unsigned kBsdPtySlaveMajor = 3;

bool IsPtySlave(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned major = major(st.st_rdev);
    return (major >= kUnix98PtySlaveFirstMajor &&
            major < kUnix98PtySlaveFirstMajor + kUnix98PtySlaveMajors) ||
           major == kBsdPtySlaveMajor;
}

// Closes a descriptor, even one whose close is interrupted: Linux has
// released the descriptor already then, so it must not be closed again.
void CloseFd(int fd) {
    if (fd >= 0)
        ::close(fd);
}

class CPosixSerialDevice final : public CSerialDevice {
  public:
    CPosixSerialDevice(int fd, int stopFd, int wakeFd, const termios& saved, bool bPty)
        : m_fd(fd), m_stopFd(stopFd), m_wakeFd(wakeFd), m_saved(saved), m_bPty(bPty) {}

    ~CPosixSerialDevice() override {
        // The system waits, on closing a real port, until its output queue
        // has gone out: up to 30 seconds while the far end holds it with
        // XOFF. Closing must not hang on the far end, so whatever is still
        // queued is dropped. (The writer keeps at most one chunk there.)
        int nQueued = 0;
        if (ioctl(m_fd, TIOCOUTQ, &nQueued) == 0 && nQueued > 0)
            tcflush(m_fd, TCOFLUSH);
        // Leave the line as we found it; a line that has gone away refuses,
        // which does not matter any more.
        tcsetattr(m_fd, TCSANOW, &m_saved);
        ioctl(m_fd, TIOCNXCL);
        CloseFd(m_fd); // also releases the advisory lock
        CloseFd(m_stopFd);
        CloseFd(m_wakeFd);
    }

    CPosixSerialDevice(const CPosixSerialDevice&) = delete;
    CPosixSerialDevice& operator=(const CPosixSerialDevice&) = delete;

    bool IsPseudoTerminal() const override { return m_bPty; }

    int GetAttributes(termios& attr) override { return tcgetattr(m_fd, &attr) == 0 ? 0 : errno; }

    int SetAttributes(const termios& attr) override {
        return tcsetattr(m_fd, TCSANOW, &attr) == 0 ? 0 : errno;
    }

    CIoResult WaitReadable() override { return Wait(POLLIN, -1); }

    CIoResult WaitWritable(std::chrono::milliseconds timeout) override {
        return Wait(POLLOUT, static_cast<int>(timeout.count()));
    }

    CIoResult WaitStop(std::chrono::microseconds timeout) override {
        // poll counts whole milliseconds; round up so a short wait still waits.
        const auto ms = (timeout.count() + 999) / 1000;
        return Wait(0, static_cast<int>(ms));
    }

    void WakeSender() override { Signal(m_wakeFd); }

    CIoResult WaitSendWake() override {
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return CIoResult::Failed(errno);
            }
            if (fds[0].revents != 0)
                return CIoResult::Of(CIoResult::stopped);
            std::uint64_t rings = 0; // reading takes every ring so far
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &rings, sizeof rings);
            return CIoResult::Done();
        }
    }

    CIoResult ReadByte(std::uint8_t& byte) override {
        for (;;) {
            const ssize_t n = ::read(m_fd, &byte, 1);
            if (n == 1)
                return CIoResult::Done(1);
            // With VMIN 1 a read returns 0 only on a line that was hung up:
            // the far end of a pseudo-terminal closed, a USB adapter pulled.
            if (n == 0)
                return CIoResult::Of(CIoResult::hungUp);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return CIoResult::Of(CIoResult::wouldBlock);
            return CIoResult::Failed(errno);
        }
    }

    CIoResult Write(std::span<const std::uint8_t> bytes) override {
        for (;;) {
            const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
            if (n > 0)
                return CIoResult::Done(static_cast<std::size_t>(n));
            if (n == 0)
                return CIoResult::Of(CIoResult::wouldBlock);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return CIoResult::Of(CIoResult::wouldBlock);
            return CIoResult::Failed(errno);
        }
    }

    int GetOutputQueued(int& nQueued) override {
        nQueued = 0;
        return ioctl(m_fd, TIOCOUTQ, &nQueued) == 0 ? 0 : errno;
    }

    void Stop() override { Signal(m_stopFd); }

  private:
    static void Signal(int eventFd) {
        const std::uint64_t one = 1;
        // Cannot fail short of a bad descriptor: the counter is far from full.
        [[maybe_unused]] const ssize_t n = ::write(eventFd, &one, sizeof one);
    }

    // Polls the line for `events` (none: just sleep) together with the stop
    // signal. A line that reports hang-up or error counts as ready, so that
    // the next read or write meets the condition and says what it is.
    CIoResult Wait(short events, int timeoutMs) {
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_fd, events, 0}};
        const nfds_t count = events != 0 ? 2 : 1;
        for (;;) {
            const int n = ::poll(fds, count, timeoutMs);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return CIoResult::Failed(errno);
            }
            if (fds[0].revents != 0)
                return CIoResult::Of(CIoResult::stopped);
            if (n == 0)
                return CIoResult::Of(CIoResult::timedOut);
            if (fds[1].revents & POLLNVAL)
                return CIoResult::Failed(EBADF);
            if ((fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & events))
                return CIoResult::Of(CIoResult::hungUp);
            return CIoResult::Done();
        }
    }

    int m_fd;
    int m_stopFd;
    int m_wakeFd;
    termios m_saved;
    bool m_bPty;
};

} // namespace

std::unique_ptr<CSerialDevice> OpenPosixSerialDevice(const std::string& path, int& nErrno) {
    // O_NONBLOCK: open at once even when the line has no carrier, and keep
    // every read and write from blocking; the threads wait in poll instead,
    // where the stop signal can reach them.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        nErrno = errno;
        return nullptr;
    }

    auto fail = [&](int err) -> std::unique_ptr<CSerialDevice> {
        nErrno = err;
        CloseFd(fd);
        return nullptr;
    };

    if (!isatty(fd))
        return fail(ENOTTY);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);

    termios saved{};
    if (tcgetattr(fd, &saved) != 0) {
        const int err = errno;
        ioctl(fd, TIOCNXCL);
        return fail(err);
    }

    const int stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    const int wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (stopFd < 0 || wakeFd < 0) {
        const int err = errno;
        CloseFd(stopFd);
        CloseFd(wakeFd);
        ioctl(fd, TIOCNXCL);
        return fail(err);
    }

    nErrno = 0;
    return std::make_unique<CPosixSerialDevice>(fd, stopFd, wakeFd, saved, IsPtySlave(fd));
}
