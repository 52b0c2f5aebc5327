// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting the transfer text into lines.
//
// Serial stream: only CR LF ends a line. A LF that does not follow a CR, a
// lone CR and a zero byte are ordinary characters of the line. Empty lines
// are delivered. A partial line waits for the bytes that complete it.
//
// Clipboard: used only when it begins with "CAS1\r\n" or "CAS2\r\n"; cut at
// every CR and every LF, empty pieces skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CSerialLineFramer {
  public:
    // A partial line longer than this is noise (a wrong speed, say); it is
    // dropped rather than kept growing.
    static constexpr std::size_t kMaxLineLength = 1024 * 1024;

    using LineHandler = std::function<void(std::string&& line)>;

    // Appends the bytes and hands each line they complete to onLine, in
    // order. onLine must only collect the line: feeding this framer again
    // from inside it would put later bytes before earlier ones.
    void Feed(std::span<const std::uint8_t> bytes, const LineHandler& onLine);

    // Empties the partial line.
    void Clear() { m_strRecvLine.clear(); }
    const std::string& GetPartialLine() const { return m_strRecvLine; }
    std::size_t GetDroppedBytes() const { return m_nDropped; }

    // Hands back a delivered line's storage for the next line.
    void Recycle(std::string&& spent);

  private:
    void Append(const char* p, std::size_t n);

    std::string m_strRecvLine;
    std::size_t m_nDropped = 0;
};

// Whether a clipboard text is a transfer: it begins with "CAS1\r\n" or
// "CAS2\r\n" (exactly, upper case). Paste is offered for such text only.
bool IsTransferClipboardText(std::string_view text);

// The pieces of a clipboard text, or nothing when the text is no transfer.
// The text ends at its first zero byte, as plain clipboard text does.
std::vector<std::string> SplitClipboardText(std::string_view text);
