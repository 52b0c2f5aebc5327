// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/LineFraming.h"

#include <algorithm>
#include <cstring>

void CSerialLineFramer::Append(const char* p, std::size_t n) {
    if (m_strRecvLine.size() + n > kMaxLineLength) {
        // Keep the newest bytes: a line end may still follow them.
        const std::size_t nKeep = std::min(n, kMaxLineLength);
        m_nDropped += m_strRecvLine.size() + (n - nKeep);
        m_strRecvLine.assign(p + (n - nKeep), nKeep);
        return;
    }
    m_strRecvLine.append(p, n);
}

void CSerialLineFramer::Feed(std::span<const std::uint8_t> bytes, const LineHandler& onLine) {
    const char* p = reinterpret_cast<const char*>(bytes.data());
    const char* const end = p + bytes.size();
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (lf == nullptr) {
            Append(p, end - p);
            return;
        }
        Append(p, lf - p);
        p = lf + 1;
        if (!m_strRecvLine.empty() && m_strRecvLine.back() == '\r') {
            m_strRecvLine.pop_back();
            std::string line = std::move(m_strRecvLine);
            m_strRecvLine.clear(); // a moved-from string is only valid, not empty
            onLine(std::move(line));
        } else {
            Append("\n", 1);
        }
    }
}

void CSerialLineFramer::Recycle(std::string&& spent) {
    if (m_strRecvLine.empty() && m_strRecvLine.capacity() < spent.capacity()) {
        spent.clear();
        m_strRecvLine.swap(spent);
    }
}

bool IsTransferClipboardText(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    return text.starts_with("CAS1\r\n") || text.starts_with("CAS2\r\n");
}

std::vector<std::string> SplitClipboardText(std::string_view text) {
    std::vector<std::string> pieces;
    text = text.substr(0, text.find('\0'));
    if (!IsTransferClipboardText(text))
        return pieces;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t stop = std::min(text.find_first_of("\r\n", start), text.size());
        if (stop > start)
            pieces.emplace_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    return pieces;
}
