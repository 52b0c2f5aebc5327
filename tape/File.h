// SPDX-License-Identifier: GPL-3.0-or-later
// A file descriptor that closes itself, and the safe way of replacing a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "res/Strings.h"

// A name as the program holds it (UTF-8) as a path of the system's: on
// Windows the wide name, whatever the code page.
inline std::filesystem::path PathFromUtf8(const std::string& strName) {
    return std::filesystem::path(std::u8string(strName.begin(), strName.end()));
}

// std::fopen for a UTF-8 name.
std::FILE* OpenStdio(const std::string& strName, const char* mode);

// Whether two paths, both absolute and normal, name the same file as the
// system compares names: byte for byte on Linux, whatever the letter case
// on Windows ("C:\Tapes\A.kxm" is "c:\tapes\a.KXM").
bool IsSamePathName(const std::string& strA, const std::string& strB);

// An open file. Every failure throws CFileException with the message given
// at opening (opening a tape, or saving one) and the system's reason.
class CFile {
  public:
    // Opens an existing file for reading.
    static CFile OpenForReading(const std::string& path);
    // A descriptor of its own for one the process already holds (standard
    // input or output), named in messages as strName.
    static CFile Duplicate(int fd, const std::string& strName, res::StringId errorMessage);

    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();

    const std::string& GetFilePath() const { return m_strPath; }
    // The size the system reports; for a pipe or a terminal, 0.
    std::uint64_t GetLength() const;
    std::size_t Read(void* pBuffer, std::size_t nCount);
    // Whether the file can be read at any place (a regular file or a disk),
    // unlike a pipe, a FIFO or a terminal, which are read once in order.
    bool IsSeekable() const;
    // Reads up to nCount bytes from nOffset on, of a seekable file, leaving
    // the place Read goes on from as it was; fewer at the end.
    std::size_t ReadAt(void* pBuffer, std::size_t nCount, std::uint64_t nOffset);
    void Write(const void* pData, std::size_t nCount);
    // Closes now, so that a failure of the close itself is reported.
    void Close();

  private:
    friend class CSafeFileWriter;
    // The system's close; its result as the system gives it.
    static int CloseDescriptor(int fd);
    CFile(int fd, std::string path, res::StringId errorMessage);
    [[noreturn]] void Fail(int nErrno) const;

    int m_fd = -1;
    std::string m_strPath;
    res::StringId m_errorMessage;
};

// Writes a file so that the old one survives any failure: the bytes go to a
// temporary file in the same folder, which replaces the target only once all
// of it is written and on the disk. Without Commit, the temporary file is
// removed again and the target is untouched.
//
// Where that cannot be done, the file is written in place:
// - a target that is no regular file (a terminal, a FIFO, a device) is
//   opened and written as it is, never replaced by a regular file;
// - a writable file in a folder where no new file may be made is written
//   over, once the whole new content has been made apart from it.
// A target the user may not write is refused as opening it would be. A
// symbolic link, also one whose target does not exist yet, is written
// through and stays a link; a replaced file keeps its permissions and, where
// the process may set them, its owner and group.
class CSafeFileWriter {
  public:
    explicit CSafeFileWriter(const std::string& targetPath);
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // Where the bytes go, named like the target for the format's sake.
    CFile& GetFile() { return m_file; }

    // Puts the written bytes in place and on the disk.
    void Commit();

  private:
    enum class Mode {
        replace, // a temporary file, renamed over the target
        direct,  // the target itself, which is no regular file
        staged,  // the bytes in memory first, then copied over the target
    };

    [[noreturn]] void Fail(int nErrno) const;
    bool CreateTemporary(const std::string& strFolder, const std::string& strName);
    // A new file, opened for writing only if none of the name exists; -1
    // with errno set otherwise.
    static int OpenExclusive(const std::string& strPath);
    static long ProcessId();
    void CommitReplace();
    void CommitDirect();
    void CommitStaged();

    Mode m_mode = Mode::replace;
    std::string m_strUserPath; // the name the user gave, for messages
    std::string m_strTarget;   // the file that gets the bytes, links followed
    std::string m_strTemp;
    int m_targetFd = -1; // the target open for writing, for the staged copy
    CFile m_file;
    bool m_bCommitted = false;
};
