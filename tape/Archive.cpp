// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/Archive.h"

#include <algorithm>
#include <cstring>

ByteArray CArchive::ReadAll() {
    ByteArray bytes;
    const std::uint64_t nLength = GetLength();
    // The length is only a hint: read until the file really ends. One byte
    // more than the length finds the end in a single read.
    std::size_t nChunk = std::max<std::uint64_t>(nLength + 1, 4096);
    for (;;) {
        const std::size_t nOld = bytes.size();
        bytes.resize(nOld + nChunk);
        const std::size_t nRead = Read(bytes.data() + nOld, nChunk);
        bytes.resize(nOld + nRead);
        if (nRead < nChunk)
            break;
        nChunk = 64 * 1024;
    }
    return bytes;
}

CFileArchive::CFileArchive(CFile& file, Mode mode) : CArchive(mode), m_file(file) {
    if (IsStoring())
        m_buffer.reserve(kBufferSize);
}

CFileArchive::~CFileArchive() = default;

std::size_t CFileArchive::Read(void* pBuffer, std::size_t nCount) {
    return m_file.Read(pBuffer, nCount);
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
