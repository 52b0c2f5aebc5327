// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc88/TextScreen.h"

#include <algorithm>

namespace pc88 {

namespace {

constexpr std::uint8_t kBs = 0x08;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kFf = 0x0C;
constexpr std::uint8_t kCr = 0x0D;

} // namespace

void CTextScreen::Clear() {
    for (auto& row : m_cells)
        row.fill(' ');
    m_nRow = 0;
    m_nColumn = 0;
    ++m_nChanges;
}

void CTextScreen::LineFeed() {
    if (m_nRow + 1 < kRows) {
        ++m_nRow;
        return;
    }
    std::rotate(m_cells.begin(), m_cells.begin() + 1, m_cells.end());
    m_cells.back().fill(' ');
    ++m_nChanges;
}

void CTextScreen::Put(std::uint8_t c) {
    if (m_strPrinted.size() >= 2 * kPrintedKept) {
        // The oldest half goes at once, so that each character is moved
        // only once or twice.
        m_strPrinted.erase(0, kPrintedKept);
        m_nPrintedBase += kPrintedKept;
    }
    m_strPrinted += static_cast<char>(c);
    switch (c) {
    case kCr:
        m_nColumn = 0;
        return;
    case kLf:
        LineFeed();
        return;
    case kBs:
        if (m_nColumn > 0)
            --m_nColumn;
        return;
    case kFf:
        Clear();
        return;
    default:
        break;
    }
    if (c < 0x20)
        return;
    m_cells[static_cast<std::size_t>(m_nRow)][static_cast<std::size_t>(m_nColumn)] =
        static_cast<char>(c);
    ++m_nChanges;
    if (++m_nColumn == kColumns) {
        m_nColumn = 0;
        LineFeed();
    }
}

} // namespace pc88
