// SPDX-License-Identifier: GPL-3.0-or-later
// What the file and the safe save do alike on every system: the file's
// ownership of its descriptor, the temporary file's name, and the commit in
// the mode the target chose.
#include <cerrno>
#include <random>
#include <string>
#include <utility>

#include "tape/Errors.h"
#include "tape/File.h"

CFile::CFile(int fd, std::string path, res::StringId errorMessage)
    : m_fd(fd), m_strPath(std::move(path)), m_errorMessage(errorMessage) {}

CFile::CFile(CFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_strPath(std::move(other.m_strPath)),
      m_errorMessage(other.m_errorMessage) {}

CFile& CFile::operator=(CFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            CloseDescriptor(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_strPath = std::move(other.m_strPath);
        m_errorMessage = other.m_errorMessage;
    }
    return *this;
}

CFile::~CFile() {
    if (m_fd >= 0)
        CloseDescriptor(m_fd);
}

void CFile::Fail(int nErrno) const {
    throw CFileException(m_errorMessage, nErrno, m_strPath);
}

void CSafeFileWriter::Fail(int nErrno) const {
    throw CFileException(res::AFX_IDP_FAILED_TO_SAVE_DOC, nErrno, m_strUserPath);
}

// strFolder ends with its separator, or is empty for the current folder.
bool CSafeFileWriter::CreateTemporary(const std::string& strFolder, const std::string& strName) {
    const std::string stem = strFolder + "." + strName + ".";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_strTemp =
            stem + std::to_string(ProcessId()) + "-" + std::to_string(random() % 1000000) + ".tmp";
        const int fd = OpenExclusive(m_strTemp);
        if (fd >= 0) {
            m_file = CFile(fd, m_strUserPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    const int nErrno = errno;
    m_strTemp.clear();
    errno = nErrno;
    return false;
}

void CSafeFileWriter::Commit() {
    switch (m_mode) {
    case Mode::replace:
        CommitReplace();
        break;
    case Mode::direct:
        CommitDirect();
        break;
    case Mode::staged:
        CommitStaged();
        break;
    }
    m_bCommitted = true;
}
