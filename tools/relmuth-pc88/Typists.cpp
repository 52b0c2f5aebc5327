// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-pc88/Typists.h"

#include <algorithm>
#include <array>

#include "tape/BlockInfo.h"

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kEsc = 0x1B;

} // namespace

// ---- the terminal -----------------------------------------------------------------

std::optional<std::uint8_t> CTerminalKeys::TakeKey(const pc88::CTextScreen&) {
    if (m_keys.empty())
        return std::nullopt;
    const std::uint8_t key = m_keys.front();
    m_keys.pop_front();
    return key;
}

// ---- the key script ---------------------------------------------------------------

std::string CKeyScript::Parse(std::string_view text) {
    m_items.clear();
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest = text.substr(i);
        if (rest[0] == '\n' || rest[0] == '\r') {
            ++i;
        } else if (rest.starts_with("<cr>")) {
            m_items.push_back({kCr, {}});
            i += 4;
        } else if (rest.starts_with("<esc>")) {
            m_items.push_back({kEsc, {}});
            i += 5;
        } else if (rest.starts_with("<wait ")) {
            const std::size_t end = rest.find('>');
            if (end == std::string_view::npos)
                return "<wait TEXT> without its '>'";
            if (end == 6)
                return "<wait > with no text to wait for";
            m_items.push_back({0, std::string(rest.substr(6, end - 6))});
            i += end + 1;
        } else {
            m_items.push_back({static_cast<std::uint8_t>(rest[0]), {}});
            ++i;
        }
    }
    m_nNext = 0;
    return {};
}

std::optional<std::uint8_t> CKeyScript::TakeKey(const pc88::CTextScreen& screen) {
    // Places in the printed text count from the machine's start; the screen
    // keeps only the last of it.
    const std::string& printed = screen.Printed();
    const std::uint64_t base = screen.PrintedBase();
    const std::uint64_t end = screen.PrintedCount();
    while (m_nNext < m_items.size() && !m_items[m_nNext].wait.empty()) {
        const std::string& wait = m_items[m_nNext].wait;
        const std::uint64_t from = std::max({m_nSince, m_nSearch, base});
        if (printed.find(wait, static_cast<std::size_t>(from - base)) == std::string::npos) {
            // Text seen so far cannot hold the start of a later match.
            if (end >= wait.size())
                m_nSearch = std::max<std::uint64_t>(m_nSearch, end - wait.size() + 1);
            return std::nullopt;
        }
        ++m_nNext;
        m_nSearch = 0;
    }
    if (m_nNext == m_items.size())
        return std::nullopt;
    m_nSince = end;
    m_nSearch = 0;
    return m_items[m_nNext++].key;
}

std::optional<std::uint8_t> CChainedKeys::TakeKey(const pc88::CTextScreen& screen) {
    if (!m_first.Exhausted())
        return m_first.TakeKey(screen);
    return m_second.TakeKey(screen);
}

// ---- the virtual user -------------------------------------------------------------

namespace {

// What the virtual user watches the screen for, in the order of
// CAutoUser::React's cases.
constexpr std::array<std::string_view, 6> kEvents = {
    "Ok\r\n",          "Select Baud Rate(", "Byte(s) Data",
    "Select Command(", "Sure(Y/N) ? ",      "Transfer Complete",
};

} // namespace

std::optional<std::uint8_t> CAutoUser::TakeKey(const pc88::CTextScreen& screen) {
    // The routine looks at the keyboard thousands of times a second while
    // the screen stays as it is.
    if (screen.PrintedCount() != m_nLooked) {
        m_nLooked = screen.PrintedCount();
        Look(screen);
    }
    if (m_keys.empty())
        return std::nullopt;
    const std::uint8_t key = m_keys.front();
    m_keys.pop_front();
    return key;
}

void CAutoUser::Type(std::string_view text) {
    m_keys.insert(m_keys.end(), text.begin(), text.end());
}

// The speed mode for the next block: recognised by its header where Grebe
// knows the header, else taken whole by the "-Ex" mode.
char CAutoUser::ModeKey() const {
    const pc88::CDeckBlock& block = m_deck.Blocks()[m_nBlock];
    const bool slow = block.nBaud == kBaudSlow;
    if (block.nKind == BLOCK_UNKNOWN)
        return slow ? '4' : '3';
    return slow ? '2' : '1';
}

void CAutoUser::Look(const pc88::CTextScreen& screen) {
    const std::string& printed = screen.Printed();
    const std::uint64_t base = screen.PrintedBase();
    for (;;) {
        std::size_t best = std::string::npos;
        std::size_t event = 0;
        const auto seen = static_cast<std::size_t>(std::max(m_nSeen, base) - base);
        for (std::size_t i = 0; i < kEvents.size(); ++i) {
            const std::size_t at = printed.find(kEvents[i], seen);
            if (at < best) {
                best = at;
                event = i;
            }
        }
        if (best == std::string::npos)
            return;
        m_nSeen = base + best + kEvents[event].size();
        React(event, printed, best);
    }
}

void CAutoUser::React(std::size_t event, const std::string& printed, std::size_t at) {
    switch (event) {
    case 0: // "Ok": the console waits for a line
        if (m_stage == EStage::start) {
            Type("LOAD \"COM:N71XN\"\r");
            m_stage = EStage::loading;
        } else if (m_stage == EStage::loading) {
            Type("RUN\r");
            m_stage = EStage::running;
        }
        break;
    case 1: // the speed prompt
        if (m_nBlock < m_deck.Blocks().size()) {
            Type(std::string(1, ModeKey()));
        } else {
            // An empty tape: start a read and give it up at once.
            Type("1\x1b");
        }
        break;
    case 2: { // "Read N Byte(s) Data"
        const std::size_t lineStart = printed.rfind('\n', at);
        const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
        long count = 0;
        for (std::size_t i = from; i < at; ++i)
            if (printed[i] >= '0' && printed[i] <= '9')
                count = count * 10 + (printed[i] - '0');
        m_nLastCount = count;
        m_bSent = false;
        break;
    }
    case 3: // the command menu
        if (m_nLastCount > 0 && !m_bSent) {
            Type("T");
            m_bSent = true;
        } else if (m_nBlock + 1 < m_deck.Blocks().size()) {
            Type("R");
            ++m_nBlock;
            m_nLastCount = -1;
        } else {
            Type("Q");
        }
        break;
    case 4: // the quit question
        Type("Y");
        m_bDone = true;
        break;
    case 5:
        ++m_nTransfers;
        break;
    default:
        break;
    }
}
