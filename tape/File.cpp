// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/File.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <random>
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

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

} // namespace

CFile::CFile(int fd, std::string path, res::StringId errorMessage)
    : m_fd(fd), m_strPath(std::move(path)), m_errorMessage(errorMessage) {}

CFile CFile::OpenForReading(const std::string& path) {
    const int fd = Retry([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
    if (fd < 0)
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, errno, path);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, EISDIR, path);
    }
    return CFile(fd, path, res::AFX_IDP_FAILED_TO_OPEN_DOC);
}

CFile::CFile(CFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_strPath(std::move(other.m_strPath)),
      m_errorMessage(other.m_errorMessage) {}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_strPath = std::move(other.m_strPath);
        m_errorMessage = other.m_errorMessage;
    }
    return *this;
}

CFile::~CFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void CFile::Fail(int nErrno) const {
    throw CFileException(m_errorMessage, nErrno, m_strPath);
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

CSafeFileWriter::CSafeFileWriter(const std::string& targetPath)
    : m_strTarget(targetPath), m_file(-1, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC) {
    // Replace the file a link points at, not the link.
    struct stat st {};
    const bool bExists = ::stat(targetPath.c_str(), &st) == 0;
    if (bExists) {
        if (S_ISDIR(st.st_mode))
            throw CFileException(res::AFX_IDP_FAILED_TO_SAVE_DOC, EISDIR, targetPath);
        char resolved[PATH_MAX];
        if (::realpath(targetPath.c_str(), resolved) != nullptr)
            m_strTarget = resolved;
    }

    const std::string stem = DirectoryOf(m_strTarget) + "/." + FileNameOf(m_strTarget) + ".";
    std::random_device random;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        m_strTemp =
            stem + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000) + ".tmp";
        // Mode 0666 lets the umask decide, as for any new file.
        fd = Retry([&] {
            return ::open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        });
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int error = errno;
        m_strTemp.clear();
        throw CFileException(res::AFX_IDP_FAILED_TO_SAVE_DOC, error, targetPath);
    }
    m_file = CFile(fd, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
    if (bExists)
        (void)::fchmod(fd, st.st_mode & 07777); // keep the old file's permissions
}

CSafeFileWriter::~CSafeFileWriter() {
    if (!m_bCommitted && !m_strTemp.empty())
        ::unlink(m_strTemp.c_str());
}

void CSafeFileWriter::Commit() {
    if (Retry([&] { return ::fsync(m_file.m_fd); }) != 0)
        m_file.Fail(errno);
    const int fd = std::exchange(m_file.m_fd, -1);
    if (::close(fd) != 0 && errno != EINTR)
        m_file.Fail(errno);
    if (::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0)
        m_file.Fail(errno);
    m_bCommitted = true;

    // Make the rename itself durable; a failure here loses nothing.
    const int dir = ::open(DirectoryOf(m_strTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
}
