// SPDX-License-Identifier: GPL-3.0-or-later
// The parts of the safe save that are the same on every system: the
// temporary file's name, and the commit in the mode the target chose.
#include <cerrno>
#include <random>
#include <string>

#include "tape/Errors.h"
#include "tape/File.h"

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
