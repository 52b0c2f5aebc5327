// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-pc88/Host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {

std::runtime_error SystemError(const std::string& what) {
    return std::runtime_error(what + ": " + std::strerror(errno));
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            return; // standard output is gone: the machine goes on without it
    }
}

// One character of the PC-8801's set for a UTF-8 terminal: ASCII as it
// stands, the half-width katakana at &HA1-&HDF as U+FF61-U+FF9F, the
// graphic characters as ".".
void AppendShown(std::string& out, std::uint8_t c) {
    if (c >= 0x20 && c <= 0x7E) {
        out += static_cast<char>(c);
    } else if (c >= 0xA1 && c <= 0xDF) {
        const unsigned cp = 0xFF61 + (c - 0xA1);
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += c == 0xA0 ? ' ' : '.';
    }
}

// What a symbolic link says, or nothing.
std::string ReadLinkText(const std::string& path) {
    char target[4096];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof target)
        return {};
    return std::string(target, static_cast<std::size_t>(n));
}

// Signals whose default ends the process: each ends the session cleanly
// instead (the terminal restored, the link removed).
constexpr int kStopSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                                SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

constexpr int kTickMilliseconds = 17;
constexpr auto kLookInterval = std::chrono::milliseconds(15);
// Behind the wall clock by more than this, the machine stops catching up.
constexpr auto kMaxLag = std::chrono::milliseconds(250);

} // namespace

// ---- the pseudo-terminal ----------------------------------------------------------

CPtyLine::CPtyLine() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        throw SystemError("cannot open a pseudo-terminal");
    const char* name = ptsname(m_master);
    if (name == nullptr)
        throw SystemError("cannot name the pseudo-terminal");
    m_strPath = name;
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        throw SystemError("cannot open " + m_strPath);
    termios tio{};
    if (tcgetattr(m_slave, &tio) != 0)
        throw SystemError("cannot read the settings of " + m_strPath);
    cfmakeraw(&tio);
    if (tcsetattr(m_slave, TCSANOW, &tio) != 0)
        throw SystemError("cannot make " + m_strPath + " raw");
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

CPtyLine::~CPtyLine() {
    // Only a link that still leads to this machine's port is removed.
    if (!m_strLink.empty() && ReadLinkText(m_strLink) == m_strPath)
        ::unlink(m_strLink.c_str());
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

void CPtyLine::MakeLink(const std::string& linkPath) {
    struct stat st {};
    if (::lstat(linkPath.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode))
            throw std::runtime_error(linkPath + " exists and is not a link; not replaced");
        // A pseudo-terminal lives as long as its machine holds it: a link to
        // one that is still there is another machine's port.
        struct stat target {};
        if (::stat(linkPath.c_str(), &target) == 0 && S_ISCHR(target.st_mode))
            throw std::runtime_error(linkPath + " is the port of another machine still running (" +
                                     ReadLinkText(linkPath) +
                                     "); give this one another --link, or remove the link "
                                     "if no machine runs there");
        ::unlink(linkPath.c_str()); // left behind by a machine that did not end cleanly
    }
    // A machine that made the link meanwhile keeps it.
    if (::symlink(m_strPath.c_str(), linkPath.c_str()) != 0)
        throw SystemError("cannot make the link " + linkPath);
    m_strLink = linkPath;
}

int CPtyLine::Unread() const {
    int n = 0;
    if (::ioctl(m_slave, FIONREAD, &n) != 0)
        return 0;
    return n;
}

// ---- the terminal -----------------------------------------------------------------

CRawTerminal::CRawTerminal() {
    if (!::isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &m_saved) != 0)
        return;
    termios raw = m_saved;
    // Keys one by one, without echo and without the terminal's own meaning
    // of Ctrl+C or Ctrl+S; output is left as it was.
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG | IEXTEN));
    raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL | INLCR | BRKINT | ISTRIP));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    m_bRaw = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

CRawTerminal::~CRawTerminal() {
    if (m_bRaw)
        tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
}

CStopSignals::CStopSignals() {
    sigemptyset(&m_set);
    for (int sig : kStopSignals)
        sigaddset(&m_set, sig);
    pthread_sigmask(SIG_BLOCK, &m_set, &m_old);
    m_fd = signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
    // Standard output may go to a reader that leaves first.
    ::signal(SIGPIPE, SIG_IGN);
}

CStopSignals::~CStopSignals() {
    if (m_fd >= 0)
        ::close(m_fd);
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
}

bool CStopSignals::Raised() {
    signalfd_siginfo info;
    if (m_fd < 0 || ::read(m_fd, &info, sizeof info) != sizeof info)
        return false;
    if (m_nSignal == 0)
        m_nSignal = static_cast<int>(info.ssi_signo);
    return true;
}

CDisplay::CDisplay(const pc88::CTextScreen& screen, bool bTerminal)
    : m_screen(screen), m_bTerminal(bTerminal) {
    if (m_bTerminal)
        WriteAll(STDOUT_FILENO, "\x1b[2J");
}

void CDisplay::Update() {
    if (m_bTerminal)
        Redraw();
    else
        WritePlain();
}

void CDisplay::Finish() {
    Update();
    if (m_bTerminal)
        WriteAll(STDOUT_FILENO, "\x1b[" + std::to_string(pc88::CTextScreen::kRows) + ";1H\r\n");
}

void CDisplay::Redraw() {
    if (m_screen.Changes() == m_nShownChanges && m_screen.CursorRow() == m_nShownRow &&
        m_screen.CursorColumn() == m_nShownColumn)
        return;
    std::string out = "\x1b[H";
    for (int row = 0; row < pc88::CTextScreen::kRows; ++row) {
        for (char c : m_screen.Row(row))
            AppendShown(out, static_cast<std::uint8_t>(c));
        out += "\x1b[K";
        if (row + 1 < pc88::CTextScreen::kRows)
            out += "\r\n";
    }
    out += "\x1b[" + std::to_string(m_screen.CursorRow() + 1) + ";" +
           std::to_string(m_screen.CursorColumn() + 1) + "H";
    WriteAll(STDOUT_FILENO, out);
    m_nShownChanges = m_screen.Changes();
    m_nShownRow = m_screen.CursorRow();
    m_nShownColumn = m_screen.CursorColumn();
}

// Plain lines: a line ends at LF; CR and the other control characters are
// left out.
void CDisplay::WritePlain() {
    const std::string& printed = m_screen.Printed();
    const std::uint64_t base = m_screen.PrintedBase();
    if (m_nWritten == m_screen.PrintedCount())
        return;
    // Text the screen no longer keeps is not written.
    m_nWritten = std::max(m_nWritten, base);
    std::string out;
    for (; m_nWritten < m_screen.PrintedCount(); ++m_nWritten) {
        const auto c =
            static_cast<std::uint8_t>(printed[static_cast<std::size_t>(m_nWritten - base)]);
        if (c == '\n')
            out += '\n';
        else if (c >= 0x20)
            AppendShown(out, c);
    }
    WriteAll(STDOUT_FILENO, out);
}

// ---- the world outside ------------------------------------------------------------

CHostOutside::CHostOutside(CPtyLine& line, CStopSignals& signals, CDisplay& display,
                           CTerminalKeys& keys, Options options)
    : m_line(line), m_signals(signals), m_display(display), m_keys(keys), m_options(options),
      m_bInputOpen(options.bKeysFromInput || options.bInputIsTerminal), m_wallBase(Clock::now()),
      m_lastLook(m_wallBase) {
    if (!options.bKeysFromInput)
        m_keys.SetEnded();
}

void CHostOutside::TakeInput() {
    std::uint8_t buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (n <= 0) {
        m_bInputOpen = false;
        m_keys.SetEnded();
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        std::uint8_t key = buffer[i];
        if (m_options.bInputIsTerminal) {
            if (key == 0x03) {
                m_bInterrupted = true;
                throw pc88::CHostStop("Ctrl+C");
            }
            if (key == 0x7F)
                key = 0x08; // the terminal's backspace is the PC-8801's BS
        } else if (key == '\n') {
            key = '\r'; // a line of text piped in ends with Return
        }
        if (m_options.bKeysFromInput)
            m_keys.Push(key);
    }
}

void CHostOutside::PollOnce(int timeoutMs, unsigned wait) {
    pollfd fds[3];
    nfds_t count = 0;
    fds[count++] = {m_signals.Fd(), POLLIN, 0};
    const nfds_t input = m_bInputOpen ? count++ : ~nfds_t{0};
    if (m_bInputOpen)
        fds[input] = {STDIN_FILENO, POLLIN, 0};
    short lineEvents = 0;
    if (wait & waitLineIn)
        lineEvents |= POLLIN;
    if (wait & waitLineOut)
        lineEvents |= POLLOUT;
    if (lineEvents != 0)
        fds[count++] = {m_line.Master(), lineEvents, 0};
    if (::poll(fds, count, timeoutMs) <= 0)
        return;
    if (fds[0].revents != 0 && m_signals.Raised()) {
        m_bInterrupted = true;
        throw pc88::CHostStop("stopped by a signal");
    }
    if (m_bInputOpen && fds[input].revents != 0)
        TakeInput();
}

void CHostOutside::Pace(std::uint64_t now) {
    const auto machine = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(now - m_machineBase) / static_cast<double>(pc88::kClockHz)));
    const Clock::time_point target = m_wallBase + machine;
    Clock::time_point wall = Clock::now();
    if (wall > target + kMaxLag) {
        // The host fell behind (or the machine waited): go on from here.
        m_wallBase = wall;
        m_machineBase = now;
        return;
    }
    while (wall < target) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(target - wall).count() + 1;
        PollOnce(static_cast<int>(ms), 0);
        wall = Clock::now();
    }
}

void CHostOutside::OnTick(std::uint64_t now) {
    if (!m_options.bFast)
        Pace(now);
    const Clock::time_point wall = Clock::now();
    if (wall - m_lastLook >= kLookInterval) {
        m_lastLook = wall;
        PollOnce(0, 0);
        m_display.Update();
    }
}

std::uint64_t CHostOutside::Idle(std::uint64_t, unsigned wait) {
    const Clock::time_point start = Clock::now();
    m_display.Update();
    PollOnce(kTickMilliseconds, wait);
    const auto passed = std::chrono::duration<double>(Clock::now() - start).count();
    return static_cast<std::uint64_t>(passed * static_cast<double>(pc88::kClockHz)) + 1;
}

std::size_t CHostOutside::LineReceive(std::span<std::uint8_t> buffer) {
    const ssize_t n = ::read(m_line.Master(), buffer.data(), buffer.size());
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

std::size_t CHostOutside::LineSend(std::span<const std::uint8_t> bytes) {
    const ssize_t n = ::write(m_line.Master(), bytes.data(), bytes.size());
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

int CHostOutside::WaitForFarEnd(std::chrono::milliseconds patience) {
    int unread = m_line.Unread();
    int zeros = 0;
    Clock::time_point deadline = Clock::now() + patience;
    // Bytes on their way through the kernel are not counted yet: nothing
    // unread twice in a row is the end.
    while (zeros < 2) {
        PollOnce(kTickMilliseconds, 0);
        const int now = m_line.Unread();
        zeros = now == 0 ? zeros + 1 : 0;
        if (now != unread) {
            unread = now;
            deadline = Clock::now() + patience;
        } else if (now != 0 && Clock::now() > deadline) {
            return now;
        }
    }
    return 0;
}
