// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/File.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "tape/Errors.h"
#include "tape/TapeFileName.h"

namespace {

// Retries a system call that a signal interrupted.
template <typename F> auto Retry(F call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

// Symbolic links followed by hand before the chain counts as a loop; the
// system's own limit.
constexpr int kMaxLinkDepth = 40;

// Bytes copied at a time from the staged content onto the target.
constexpr std::size_t kCopyChunk = 64 * 1024;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

// What a symbolic link points at, as it is written in the link.
std::string ReadLink(const std::string& path) {
    std::string target(PATH_MAX, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            return target;
        }
        target.resize(target.size() * 2);
    }
}

// The name a chain of symbolic links ends at, whether or not a file of that
// name exists yet; only the last part of each name is followed, the folders
// on the way are left to the system. Sets nErrno (ELOOP) on a chain that
// does not end.
std::string FollowLinks(const std::string& path, int& nErrno) {
    std::string current = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        const std::string target = ReadLink(current);
        if (target.empty())
            return current;
        current = target.front() == '/' ? target : DirectoryOf(current) + "/" + target;
    }
    nErrno = ELOOP;
    return current;
}

// A file that outgrows the size limit of the process must make the write
// fail with EFBIG, which is reported and cleaned up like any other failure,
// rather than end the process by SIGXFSZ with a temporary file left behind.
// A handler that the program set itself is left alone.
void IgnoreFileSizeSignal() {
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) != 0)
        return;
    if ((old.sa_flags & SA_SIGINFO) == 0 && old.sa_handler == SIG_DFL) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        (void)::sigaction(SIGXFSZ, &ignore, nullptr);
    }
}

} // namespace

std::FILE* OpenStdio(const std::string& strName, const char* mode) {
    return std::fopen(strName.c_str(), mode);
}

bool IsSamePathName(const std::string& strA, const std::string& strB) {
    return strA == strB;
}

CFile CFile::OpenForReading(const std::string& path) {
    const int fd = Retry([&] { return ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC); });
    if (fd < 0)
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, errno, path);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, EISDIR, path);
    }
    return CFile(fd, path, res::AFX_IDP_FAILED_TO_OPEN_DOC);
}

CFile CFile::Duplicate(int fd, const std::string& strName, res::StringId errorMessage) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        throw CFileException(errorMessage, errno, strName);
    return CFile(copy, strName, errorMessage);
}

int CFile::CloseDescriptor(int fd) {
    return ::close(fd);
}

std::uint64_t CFile::GetLength() const {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        Fail(errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t CFile::Read(void* pBuffer, std::size_t nCount) {
    auto* p = static_cast<char*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nCount) {
        const ssize_t n = Retry([&] { return ::read(m_fd, p + nDone, nCount - nDone); });
        if (n < 0)
            Fail(errno);
        if (n == 0)
            break;
        nDone += static_cast<std::size_t>(n);
    }
    return nDone;
}

bool CFile::IsSeekable() const {
    struct stat st {};
    return ::fstat(m_fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode));
}

std::size_t CFile::ReadAt(void* pBuffer, std::size_t nCount, std::uint64_t nOffset) {
    auto* p = static_cast<char*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nCount) {
        const ssize_t n = Retry([&] {
            return ::pread(m_fd, p + nDone, nCount - nDone, static_cast<off_t>(nOffset + nDone));
        });
        if (n < 0)
            Fail(errno);
        if (n == 0)
            break;
        nDone += static_cast<std::size_t>(n);
    }
    return nDone;
}

void CFile::Write(const void* pData, std::size_t nCount) {
    const auto* p = static_cast<const char*>(pData);
    while (nCount > 0) {
        const ssize_t n = Retry([&] { return ::write(m_fd, p, nCount); });
        if (n < 0)
            Fail(errno);
        p += n;
        nCount -= static_cast<std::size_t>(n);
    }
}

void CFile::Close() {
    const int fd = std::exchange(m_fd, -1);
    // Linux has released the descriptor even when close is interrupted.
    if (fd >= 0 && ::close(fd) != 0 && errno != EINTR)
        Fail(errno);
}

CSafeFileWriter::CSafeFileWriter(const std::string& targetPath)
    : m_strUserPath(targetPath), m_strTarget(targetPath),
      m_file(-1, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC) {
    IgnoreFileSizeSignal();

    struct stat st {};
    if (::stat(targetPath.c_str(), &st) != 0) {
        if (errno != ENOENT)
            Fail(errno);
        // Nothing there yet, or a link to nothing yet: the new file takes
        // the name the links end at, and the links stay.
        int nErrno = 0;
        m_strTarget = FollowLinks(targetPath, nErrno);
        if (nErrno != 0)
            Fail(nErrno);
        if (!CreateTemporary(DirectoryOf(m_strTarget) + "/", FileNameOf(m_strTarget)))
            Fail(errno);
        return;
    }
    if (S_ISDIR(st.st_mode))
        Fail(EISDIR);

    if (!S_ISREG(st.st_mode)) {
        // A terminal, a FIFO, a socket or a device: what is written goes to
        // it as it is written, and it stays what it is. No temporary file.
        m_mode = Mode::direct;
        const int fd = ::open(targetPath.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            Fail(errno);
        m_file = CFile(fd, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
        return;
    }

    // A regular file, perhaps behind links: replace the file they end at.
    // The system follows the links here, /proc's own kind included.
    char resolved[PATH_MAX];
    if (::realpath(targetPath.c_str(), resolved) != nullptr)
        m_strTarget = resolved;

    // The user must be allowed to write the file itself: the folder's
    // permission, which is all a rename needs, is not enough. Opening it as
    // any program would asks the system (modes, ACLs, immutable files, a
    // read-only mount); nothing is written through this descriptor unless
    // the folder forbids a new file (below).
    m_targetFd = ::open(m_strTarget.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (m_targetFd < 0)
        Fail(errno);

    if (!CreateTemporary(DirectoryOf(m_strTarget) + "/", FileNameOf(m_strTarget))) {
        const int nErrno = errno;
        if (nErrno != EACCES && nErrno != EPERM)
            Fail(nErrno);
        // The folder takes no new file, but the file may be written: the
        // new content is made in memory and copied over the file at Commit.
        m_mode = Mode::staged;
        const int fd = ::memfd_create("relmuth-save", MFD_CLOEXEC);
        if (fd < 0)
            Fail(errno);
        m_file = CFile(fd, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
        return;
    }

    // The replacement takes the old file's owner and group where the
    // process may give them (root may; anyone may keep a group of their
    // own), then its permissions, which a change of owner may have cleared.
    if (::fchown(m_file.m_fd, st.st_uid, st.st_gid) != 0)
        (void)::fchown(m_file.m_fd, static_cast<uid_t>(-1), st.st_gid);
    (void)::fchmod(m_file.m_fd, st.st_mode & 07777);

    // A file with further hard links is replaced like any other: the other
    // names keep the old tape. Writing through all names would give up the
    // atomic replacement, and would also rewrite the copies that backups
    // made of hard links (cp -al, rsnapshot) keep of the user's tape.
}

CSafeFileWriter::~CSafeFileWriter() {
    if (!m_bCommitted && !m_strTemp.empty())
        ::unlink(m_strTemp.c_str());
    if (m_targetFd >= 0)
        ::close(m_targetFd);
}

int CSafeFileWriter::OpenExclusive(const std::string& strPath) {
    // Mode 0666 lets the umask decide, as for any new file.
    return Retry(
        [&] { return ::open(strPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
}

long CSafeFileWriter::ProcessId() {
    return static_cast<long>(::getpid());
}

void CSafeFileWriter::CommitReplace() {
    if (Retry([&] { return ::fsync(m_file.m_fd); }) != 0)
        Fail(errno);
    m_file.Close();
    if (::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0)
        Fail(errno);
    m_strTemp.clear();

    // Make the rename itself durable; a failure here loses nothing.
    const int dir = ::open(DirectoryOf(m_strTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}

void CSafeFileWriter::CommitDirect() {
    // Pipes and terminals keep nothing to flush and say EINVAL.
    if (Retry([&] { return ::fsync(m_file.m_fd); }) != 0 && errno != EINVAL && errno != EROFS)
        Fail(errno);
    m_file.Close();
}

// The one path that writes over the user's file, so it is not atomic: the
// new bytes only go to the file once all of them are made, and the room
// they need is taken first, so a full disk or the file-size limit leave
// the old file whole. What is lost is the all-or-nothing of the rename: a
// crash or a failing disk during the copy leaves a file that is partly new
// and partly old, or cut short.
void CSafeFileWriter::CommitStaged() {
    const off_t nSize = ::lseek(m_file.m_fd, 0, SEEK_END);
    if (nSize < 0)
        Fail(errno);
    // Not every file system can reserve room (EOPNOTSUPP); there the copy
    // finds out as it goes.
    if (nSize > 0 && ::fallocate(m_targetFd, 0, 0, nSize) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS)
        Fail(errno);

    std::array<char, kCopyChunk> buffer;
    for (off_t nDone = 0; nDone < nSize;) {
        const auto nWant = static_cast<std::size_t>(
            std::min<off_t>(static_cast<off_t>(buffer.size()), nSize - nDone));
        const ssize_t nRead =
            Retry([&] { return ::pread(m_file.m_fd, buffer.data(), nWant, nDone); });
        if (nRead <= 0)
            Fail(nRead < 0 ? errno : EIO);
        for (ssize_t nPut = 0; nPut < nRead;) {
            const ssize_t n = Retry([&] {
                return ::pwrite(m_targetFd, buffer.data() + nPut,
                                static_cast<std::size_t>(nRead - nPut), nDone + nPut);
            });
            if (n < 0)
                Fail(errno);
            nPut += n;
        }
        nDone += nRead;
    }
    if (::ftruncate(m_targetFd, nSize) != 0)
        Fail(errno);
    if (Retry([&] { return ::fsync(m_targetFd); }) != 0)
        Fail(errno);
    const int fd = std::exchange(m_targetFd, -1);
    if (::close(fd) != 0 && errno != EINTR)
        Fail(errno);
    m_file.Close();
}
