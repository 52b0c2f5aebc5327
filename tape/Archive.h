// SPDX-License-Identifier: GPL-3.0-or-later
// The archive a tape image is loaded from or stored to: a direction, the file
// behind it (name and length), Read and Write. Format code sees only this;
// only the archive touches files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "tape/File.h"
#include "tape/TapeBlock.h"

// The largest tape image that is read: far beyond any cassette, and small
// enough that the image and the blocks made of it fit in memory together. A
// larger file (a huge sparse file, say) ends in the generic error rather
// than in exhausted memory.
inline constexpr std::uint64_t kMaxImageSize = std::uint64_t{1} << 30;

// Where a format writes its bytes.
class CByteSink {
  public:
    virtual ~CByteSink() = default;
    virtual void Write(const void* pData, std::size_t nCount) = 0;

    void Write(std::span<const std::uint8_t> bytes) { Write(bytes.data(), bytes.size()); }
};

class CArchive : public CByteSink {
  public:
    enum Mode { load, store };

    explicit CArchive(Mode mode) : m_mode(mode) {}

    bool IsLoading() const { return m_mode == load; }
    bool IsStoring() const { return m_mode == store; }

    // Whether a named file stands behind the archive, its name and length.
    virtual bool HasFile() const = 0;
    virtual std::string GetFileName() const = 0;
    virtual std::uint64_t GetLength() const = 0;

    // Reads up to nCount bytes; returns how many were read (fewer at the end).
    virtual std::size_t Read(void* pBuffer, std::size_t nCount) = 0;
    // Whether no byte is left to read; may have to read to find out.
    virtual bool IsAtEnd() = 0;

    // Reads everything from the current position to the end of the file,
    // however long it says it is (a pipe says 0). Throws the generic
    // CArchiveException beyond kMaxImageSize.
    ByteArray ReadAll();

    // Pushes out what is buffered; storing archives call it before they end.
    virtual void Flush() {}

  private:
    Mode m_mode;
};

// An archive over an open file; both directions go through a buffer.
class CFileArchive : public CArchive {
  public:
    CFileArchive(CFile& file, Mode mode);
    ~CFileArchive() override;

    bool HasFile() const override { return true; }
    std::string GetFileName() const override { return m_file.GetFilePath(); }
    std::uint64_t GetLength() const override { return m_file.GetLength(); }
    // The file itself, for a reader that must seek in it (a recording).
    CFile& GetFile() const { return m_file; }
    std::size_t Read(void* pBuffer, std::size_t nCount) override;
    bool IsAtEnd() override;
    void Write(const void* pData, std::size_t nCount) override;
    using CByteSink::Write;
    void Flush() override;

  private:
    static constexpr std::size_t kBufferSize = 64 * 1024;

    // Loading: refills the buffer from the file.
    void Fill();

    CFile& m_file;
    ByteArray m_buffer;
    std::size_t m_nReadPos = 0; // loading: the next buffered byte
};

// An archive in memory. With a name it behaves like a file of that name (the
// format follows the name); without one, it has no file behind it.
class CMemoryArchive : public CArchive {
  public:
    // Loading from bytes.
    explicit CMemoryArchive(std::span<const std::uint8_t> bytes, std::string name = {});
    // Storing into bytes.
    explicit CMemoryArchive(ByteArray& out, std::string name = {});

    bool HasFile() const override { return !m_strName.empty(); }
    std::string GetFileName() const override { return m_strName; }
    std::uint64_t GetLength() const override;
    std::size_t Read(void* pBuffer, std::size_t nCount) override;
    bool IsAtEnd() override { return m_nPos == m_in.size(); }
    void Write(const void* pData, std::size_t nCount) override;
    using CByteSink::Write;

  private:
    std::span<const std::uint8_t> m_in;
    std::size_t m_nPos = 0;
    ByteArray* m_pOut = nullptr;
    std::string m_strName;
};
