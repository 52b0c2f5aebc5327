// SPDX-License-Identifier: GPL-3.0-or-later
// A file descriptor that closes itself, and the safe way of replacing a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "res/Strings.h"

// An open file. Every failure throws CFileException with the message given
// at opening (opening a tape, or saving one) and the system's reason.
class CFile {
  public:
    // Opens an existing file for reading.
    static CFile OpenForReading(const std::string& path);

    CFile(CFile&& other) noexcept;
    CFile& operator=(CFile&& other) noexcept;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();

    const std::string& GetFilePath() const { return m_strPath; }
    std::uint64_t GetLength() const;
    std::size_t Read(void* pBuffer, std::size_t nCount);
    void Write(const void* pData, std::size_t nCount);

  private:
    friend class CSafeFileWriter;
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
class CSafeFileWriter {
  public:
    explicit CSafeFileWriter(const std::string& targetPath);
    ~CSafeFileWriter();
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;

    // The temporary file, named like the target for the format's sake.
    CFile& GetFile() { return m_file; }

    // Flushes to the disk and renames the temporary file over the target.
    void Commit();

  private:
    std::string m_strTarget;
    std::string m_strTemp;
    CFile m_file;
    bool m_bCommitted = false;
};
