// SPDX-License-Identifier: GPL-3.0-or-later
// Who types on the virtual PC-8801's keyboard: the user at the terminal, a
// key script, or the virtual user of --auto. Each hands over a key only when
// the program reads the keyboard, so what they type does not depend on how
// fast the host runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pc88/Pc8801.h"

// Keys as they arrive from standard input.
class CTerminalKeys final : public pc88::CKeySource {
  public:
    void Push(std::uint8_t key) { m_keys.push_back(key); }
    void SetEnded() { m_bEnded = true; }
    std::optional<std::uint8_t> TakeKey(const pc88::CTextScreen&) override;
    bool Exhausted() const override { return m_bEnded && m_keys.empty(); }

  private:
    std::deque<std::uint8_t> m_keys;
    bool m_bEnded = false;
};

// A key script: characters as they stand, <cr> for Return, <esc> for ESC,
// and <wait TEXT>, which holds the next key until TEXT has been printed
// since the key before it. Line ends in the script are not keys.
class CKeyScript final : public pc88::CKeySource {
  public:
    // Empty when the script is well formed, else what is wrong with it.
    std::string Parse(std::string_view text);

    std::optional<std::uint8_t> TakeKey(const pc88::CTextScreen& screen) override;
    bool Exhausted() const override { return m_nNext == m_items.size(); }

  private:
    struct CItem {
        std::uint8_t key = 0;
        std::string wait; // a key when empty
    };
    std::vector<CItem> m_items;
    std::size_t m_nNext = 0;
    // Places in the printed text, counted from the machine's start.
    std::uint64_t m_nSince = 0;  // printed text at the last key handed over
    std::uint64_t m_nSearch = 0; // where the search for the next wait goes on
};

// The script first, then the terminal.
class CChainedKeys final : public pc88::CKeySource {
  public:
    CChainedKeys(pc88::CKeySource& first, pc88::CKeySource& second)
        : m_first(first), m_second(second) {}
    std::optional<std::uint8_t> TakeKey(const pc88::CTextScreen& screen) override;
    bool Exhausted() const override { return m_first.Exhausted() && m_second.Exhausted(); }

  private:
    pc88::CKeySource& m_first;
    pc88::CKeySource& m_second;
};

// The virtual user of --auto: takes Grebe in with LOAD "COM:N71XN", runs it,
// reads every block the deck holds at its speed (by its header where Grebe
// knows the header, else with the "-Ex" mode), transfers each, and quits.
class CAutoUser final : public pc88::CKeySource {
  public:
    explicit CAutoUser(const pc88::CCassetteDeck& deck) : m_deck(deck) {}

    std::optional<std::uint8_t> TakeKey(const pc88::CTextScreen& screen) override;
    // Once it has answered the quit question.
    bool Exhausted() const override { return m_bDone && m_keys.empty(); }
    std::size_t Transfers() const { return m_nTransfers; }

  private:
    void Look(const pc88::CTextScreen& screen);
    void React(std::size_t event, const std::string& printed, std::size_t at);
    void Type(std::string_view text);
    char ModeKey() const;

    enum class EStage { start, loading, running };
    const pc88::CCassetteDeck& m_deck;
    std::deque<std::uint8_t> m_keys;
    EStage m_stage = EStage::start;
    std::uint64_t m_nSeen = 0;   // printed text handled, counted from the start
    std::uint64_t m_nLooked = 0; // printed text looked at
    std::size_t m_nBlock = 0;    // the block the next read is for
    long m_nLastCount = -1;      // bytes of the last read; -1 before it is known
    bool m_bSent = false;        // the last read has been transferred
    std::size_t m_nTransfers = 0;
    bool m_bDone = false;
};
