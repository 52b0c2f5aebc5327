// SPDX-License-Identifier: GPL-3.0-or-later
// The PC-8801's text screen as N88-BASIC's console prints into it: 80
// columns by 25 rows, and what was printed last, in order: at least the
// last kPrintedKept characters, counted from the machine's start.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pc88 {

class CTextScreen {
  public:
    static constexpr int kColumns = 80;
    static constexpr int kRows = 25;

    CTextScreen() { Clear(); }

    // One character of the console: CR to the start of the row, LF one row
    // down (scrolling at the bottom), BS one column back, FF clears the
    // screen; other control characters leave the screen alone. A printable
    // character fills the cursor's cell; the row wraps after column 80.
    void Put(std::uint8_t c);

    // A row's 80 cells, in the PC-8801's character set.
    std::string_view Row(int row) const {
        return {m_cells[static_cast<std::size_t>(row)].data(), kColumns};
    }
    int CursorRow() const { return m_nRow; }
    int CursorColumn() const { return m_nColumn; }

    // Characters printed that the record keeps: at least this many of the
    // last ones, so that a long session does not grow without end.
    static constexpr std::size_t kPrintedKept = 256 * 1024;

    // The characters printed last, control characters included; the first
    // is the PrintedBase()-th since the start (from 0).
    const std::string& Printed() const { return m_strPrinted; }
    std::uint64_t PrintedBase() const { return m_nPrintedBase; }
    // Characters printed since the start.
    std::uint64_t PrintedCount() const { return m_nPrintedBase + m_strPrinted.size(); }

    // Counts every change of the cells; a display redraws when it moved.
    std::uint64_t Changes() const { return m_nChanges; }

  private:
    void Clear();
    void LineFeed();

    std::array<std::array<char, kColumns>, kRows> m_cells{};
    int m_nRow = 0;
    int m_nColumn = 0;
    std::string m_strPrinted;
    std::uint64_t m_nPrintedBase = 0;
    std::uint64_t m_nChanges = 0;
};

} // namespace pc88
