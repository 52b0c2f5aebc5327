// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/Archive.h"

#include <algorithm>
#include <cstring>

#include "tape/Errors.h"

namespace {

// The least that is read at a time: a first read when the file says it is
// empty, and each further read of a file longer than it said.
constexpr std::size_t kFirstReadChunk = 4096;
constexpr std::size_t kReadChunk = 64 * 1024;

} // namespace

ByteArray CArchive::ReadAll() {
    const std::uint64_t nLength = GetLength();
    if (nLength > kMaxImageSize)
        throw CArchiveException(CArchiveException::generic);
    ByteArray bytes;
    // The length is only a hint: read until the file really ends. One byte
    // more than the length finds the end in a single read; one byte more
    // than the largest image tells a file that is too long.
    std::size_t nChunk = std::max<std::uint64_t>(nLength + 1, kFirstReadChunk);
    for (;;) {
        const std::size_t nOld = bytes.size();
        nChunk = std::min<std::size_t>(nChunk, kMaxImageSize + 1 - nOld);
        bytes.resize(nOld + nChunk);
        const std::size_t nRead = Read(bytes.data() + nOld, nChunk);
        bytes.resize(nOld + nRead);
        if (bytes.size() > kMaxImageSize)
            throw CArchiveException(CArchiveException::generic);
        if (nRead < nChunk)
            break;
        // Growing by the size already read keeps a long pipe linear.
        nChunk = std::max(kReadChunk, bytes.size());
    }
    return bytes;
}

CFileArchive::CFileArchive(CFile& file, Mode mode) : CArchive(mode), m_file(file) {
    m_buffer.reserve(kBufferSize);
}

CFileArchive::~CFileArchive() = default;

void CFileArchive::Fill() {
    m_buffer.resize(kBufferSize);
    m_buffer.resize(m_file.Read(m_buffer.data(), m_buffer.size()));
    m_nReadPos = 0;
}

std::size_t CFileArchive::Read(void* pBuffer, std::size_t nCount) {
    auto* p = static_cast<std::uint8_t*>(pBuffer);
    std::size_t nDone = 0;
    while (nDone < nCount) {
        if (m_nReadPos == m_buffer.size()) {
            // A large read goes straight to its destination.
            if (nCount - nDone >= kBufferSize)
                return nDone + m_file.Read(p + nDone, nCount - nDone);
            Fill();
            if (m_buffer.empty())
                break;
        }
        const std::size_t n = std::min(nCount - nDone, m_buffer.size() - m_nReadPos);
        std::memcpy(p + nDone, m_buffer.data() + m_nReadPos, n);
        m_nReadPos += n;
        nDone += n;
    }
    return nDone;
}

bool CFileArchive::IsAtEnd() {
    if (m_nReadPos == m_buffer.size())
        Fill();
    return m_buffer.empty();
}

void CFileArchive::Write(const void* pData, std::size_t nCount) {
    if (m_buffer.size() + nCount > kBufferSize) {
        Flush();
        if (nCount >= kBufferSize) {
            m_file.Write(pData, nCount);
            return;
        }
    }
    const auto* p = static_cast<const std::uint8_t*>(pData);
    m_buffer.insert(m_buffer.end(), p, p + nCount);
}

void CFileArchive::Flush() {
    if (!m_buffer.empty()) {
        m_file.Write(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
    }
}

CMemoryArchive::CMemoryArchive(std::span<const std::uint8_t> bytes, std::string name)
    : CArchive(load), m_in(bytes), m_strName(std::move(name)) {}

CMemoryArchive::CMemoryArchive(ByteArray& out, std::string name)
    : CArchive(store), m_pOut(&out), m_strName(std::move(name)) {}

std::uint64_t CMemoryArchive::GetLength() const {
    return m_pOut != nullptr ? m_pOut->size() : m_in.size();
}

std::size_t CMemoryArchive::Read(void* pBuffer, std::size_t nCount) {
    const std::size_t n = std::min(nCount, m_in.size() - m_nPos);
    if (n > 0)
        std::memcpy(pBuffer, m_in.data() + m_nPos, n);
    m_nPos += n;
    return n;
}

void CMemoryArchive::Write(const void* pData, std::size_t nCount) {
    const auto* p = static_cast<const std::uint8_t*>(pData);
    m_pOut->insert(m_pOut->end(), p, p + nCount);
}
