// SPDX-License-Identifier: GPL-3.0-or-later
// The file and the safe save on Windows. Names are UTF-8 inside the program
// and wide names for the system, so that any name opens whatever the code
// page. The C runtime's descriptors carry the bytes, always in binary mode.
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cwctype>
#include <random>
#include <utility>

#include "res/WideText.h"
#include "tape/Errors.h"
#include "tape/File.h"

namespace {

// The errno value of the Win32 codes a save meets; the rest are I/O errors.
int ErrnoFromWin32(DWORD nCode) {
    switch (nCode) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    default:
        return EIO;
    }
}

// Where the name part of a path begins: after the last '\', '/' or "C:".
std::size_t NameStart(const std::string& path) {
    const auto sep = path.find_last_of("/\\:");
    return sep == std::string::npos ? 0 : sep + 1;
}

// The reserved names that stand for devices in every folder, with or
// without an extension, and anything under \\.\ (a device or a pipe).
bool IsDeviceName(const std::string& path) {
    if (path.rfind("\\\\.\\", 0) == 0 || path.rfind("//./", 0) == 0)
        return true;
    std::string name = path.substr(NameStart(path));
    name = name.substr(0, name.find('.'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    for (char& c : name)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name == "CON" || name == "NUL" || name == "PRN" || name == "AUX" || name == "CONIN$" ||
        name == "CONOUT$")
        return true;
    return name.size() == 4 && (name.rfind("COM", 0) == 0 || name.rfind("LPT", 0) == 0) &&
           name[3] >= '1' && name[3] <= '9';
}

int OpenWide(const std::string& path, int flags, int mode = 0) {
    return ::_wopen(res::WideFromUtf8(path).c_str(), flags | _O_BINARY | _O_NOINHERIT, mode);
}

} // namespace

std::FILE* OpenStdio(const std::string& strName, const char* mode) {
    return ::_wfopen(res::WideFromUtf8(strName).c_str(), res::WideFromUtf8(mode).c_str());
}

bool IsSamePathName(const std::string& strA, const std::string& strB) {
    // The file system's own comparison: each character's upper case, as
    // NTFS folds names (not the user's locale).
    const std::wstring a = res::WideFromUtf8(strA);
    const std::wstring b = res::WideFromUtf8(strB);
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

CFile CFile::OpenForReading(const std::string& path) {
    const int fd = OpenWide(path, _O_RDONLY);
    if (fd < 0) {
        // A folder does not open as a file; say what it is.
        const DWORD attributes = GetFileAttributesW(res::WideFromUtf8(path).c_str());
        const int nErrno =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                ? EISDIR
                : errno;
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, nErrno, path);
    }
    return CFile(fd, path, res::AFX_IDP_FAILED_TO_OPEN_DOC);
}

CFile CFile::Duplicate(int fd, const std::string& strName, res::StringId errorMessage) {
    const int copy = ::_dup(fd);
    if (copy < 0)
        throw CFileException(errorMessage, errno, strName);
    ::_setmode(copy, _O_BINARY);
    return CFile(copy, strName, errorMessage);
}

int CFile::CloseDescriptor(int fd) {
    return ::_close(fd);
}

std::uint64_t CFile::GetLength() const {
    if (!IsSeekable())
        return 0;
    struct _stat64 st {};
    if (::_fstat64(m_fd, &st) != 0)
        Fail(errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::size_t CFile::Read(void* pBuffer, std::size_t nCount) {
    auto* p = static_cast<char*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nCount) {
        const unsigned nWant =
            static_cast<unsigned>(std::min<std::size_t>(nCount - nDone, 1 << 30));
        const int n = ::_read(m_fd, p + nDone, nWant);
        if (n < 0) {
            // The writer of a pipe closed it: the end of the input.
            if (GetLastError() == ERROR_BROKEN_PIPE)
                break;
            Fail(errno);
        }
        if (n == 0)
            break;
        nDone += static_cast<std::size_t>(n);
    }
    return nDone;
}

bool CFile::IsSeekable() const {
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(m_fd));
    return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK;
}

std::size_t CFile::ReadAt(void* pBuffer, std::size_t nCount, std::uint64_t nOffset) {
    const __int64 nPlace = ::_lseeki64(m_fd, 0, SEEK_CUR);
    if (nPlace < 0 || ::_lseeki64(m_fd, static_cast<__int64>(nOffset), SEEK_SET) < 0)
        Fail(errno);
    std::size_t nDone = 0;
    try {
        nDone = Read(pBuffer, nCount);
    } catch (...) {
        ::_lseeki64(m_fd, nPlace, SEEK_SET);
        throw;
    }
    if (::_lseeki64(m_fd, nPlace, SEEK_SET) < 0)
        Fail(errno);
    return nDone;
}

void CFile::Write(const void* pData, std::size_t nCount) {
    const auto* p = static_cast<const char*>(pData);
    while (nCount > 0) {
        const unsigned nWant = static_cast<unsigned>(std::min<std::size_t>(nCount, 1 << 30));
        const int n = ::_write(m_fd, p, nWant);
        if (n < 0)
            Fail(errno == EINVAL && GetLastError() == ERROR_NO_DATA ? EPIPE : errno);
        p += n;
        nCount -= static_cast<std::size_t>(n);
    }
}

void CFile::Close() {
    const int fd = std::exchange(m_fd, -1);
    if (fd >= 0 && ::_close(fd) != 0)
        Fail(errno);
}

// On Windows a save replaces a regular file by a temporary one beside it
// with MoveFileExW, writes a device in place, and refuses a read-only file
// as Explorer shows it; links are replaced, not followed (links to files
// are rare on Windows and need rights to make).
CSafeFileWriter::CSafeFileWriter(const std::string& targetPath)
    : m_strUserPath(targetPath), m_strTarget(targetPath),
      m_file(-1, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC) {
    if (IsDeviceName(targetPath)) {
        m_mode = Mode::direct;
        const int fd = OpenWide(targetPath, _O_WRONLY);
        if (fd < 0)
            Fail(errno);
        m_file = CFile(fd, targetPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
        return;
    }

    const std::wstring wide = res::WideFromUtf8(targetPath);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD nCode = GetLastError();
        if (nCode != ERROR_FILE_NOT_FOUND)
            Fail(ErrnoFromWin32(nCode));
    } else {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            Fail(EISDIR);
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
            Fail(EACCES);
        // The user must be allowed to write the file itself, not only the
        // folder: opening it as any program would asks the system. It is
        // closed again at once, since an open file could not be replaced.
        const int probe = OpenWide(targetPath, _O_WRONLY);
        if (probe < 0)
            Fail(errno);
        ::_close(probe);
    }
    if (!CreateTemporary(targetPath.substr(0, NameStart(targetPath)),
                         targetPath.substr(NameStart(targetPath))))
        Fail(errno);
}

CSafeFileWriter::~CSafeFileWriter() {
    if (!m_bCommitted && !m_strTemp.empty()) {
        m_file = CFile(-1, m_strUserPath, res::AFX_IDP_FAILED_TO_SAVE_DOC);
        DeleteFileW(res::WideFromUtf8(m_strTemp).c_str());
    }
}

int CSafeFileWriter::OpenExclusive(const std::string& strPath) {
    return OpenWide(strPath, _O_WRONLY | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
}

long CSafeFileWriter::ProcessId() {
    return static_cast<long>(::_getpid());
}

void CSafeFileWriter::CommitReplace() {
    if (::_commit(m_file.m_fd) != 0)
        Fail(errno);
    m_file.Close();
    if (!MoveFileExW(res::WideFromUtf8(m_strTemp).c_str(), res::WideFromUtf8(m_strTarget).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        Fail(ErrnoFromWin32(GetLastError()));
    m_strTemp.clear();
}

void CSafeFileWriter::CommitDirect() {
    // A console, NUL or a pipe keeps nothing to flush.
    m_file.Close();
}

// Never chosen on Windows: a folder that takes no new file fails the save.
void CSafeFileWriter::CommitStaged() {
    Fail(EACCES);
}
