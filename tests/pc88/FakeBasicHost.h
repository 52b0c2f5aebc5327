// SPDX-License-Identifier: GPL-3.0-or-later
// A machine for the interpreter's tests: 64 KB of RAM, a screen that keeps
// every character, a scripted keyboard, a line that plays given input and
// records output, and a USR that plays the part of Grebe's routine.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "pc88/BasicHost.h"

namespace pc88_test {

inline constexpr std::uint8_t kEsc = 0x1B;

class CFakeBasicHost : public pc88::CBasicHost {
  public:
    std::vector<std::uint8_t> ram = std::vector<std::uint8_t>(0x10000);
    std::string screen;
    std::string comIn;  // what LOAD reads
    std::string comOut; // what PRINT # and the routine wrote
    std::vector<std::string> comOpens;
    int comCloses = 0;
    int beeps = 0;
    std::uint64_t tstates = 0;

    // The block the routine's read returns, and its result code.
    std::vector<std::uint8_t> block;
    std::uint8_t resultCode = 0;
    int routineBeeps = 0;

    // Keys, each held back until the texts of the <wait> steps before it
    // have appeared on the screen since the previous key was taken.
    void Type(const std::string& keys) {
        for (const char c : keys)
            m_steps.push_back({false, {}, static_cast<std::uint8_t>(c)});
    }
    void WaitFor(const std::string& text) { m_steps.push_back({true, text, 0}); }

    std::uint8_t Peek(std::uint16_t address) override { return ram[address]; }
    void Poke(std::uint16_t address, std::uint8_t value) override { ram[address] = value; }

    std::int16_t CallUsr(std::uint16_t entry, std::int16_t argument) override;

    void PutChar(std::uint8_t c) override { screen += static_cast<char>(c); }

    std::uint8_t WaitKey() override {
        if (!KeyReady())
            throw pc88::CHostStop("the key script ran out");
        return TakeKey();
    }
    std::optional<std::uint8_t> PollKey() override {
        if (!KeyReady())
            return std::nullopt;
        return TakeKey();
    }

    void ComOpen(const std::string& frame) override { comOpens.push_back(frame); }
    void ComWrite(std::span<const std::uint8_t> bytes) override {
        comOut.append(bytes.begin(), bytes.end());
    }
    std::uint8_t ComRead() override {
        if (m_comInAt >= comIn.size())
            throw pc88::CHostStop("nothing more arrives on the line");
        return static_cast<std::uint8_t>(comIn[m_comInAt++]);
    }
    void ComClose() override { ++comCloses; }
    void Beep() override { ++beeps; }
    void Elapse(std::uint64_t t) override { tstates += t; }

  private:
    struct SStep {
        bool wait;
        std::string text;
        std::uint8_t key;
    };
    bool KeyReady() {
        while (!m_steps.empty() && m_steps.front().wait) {
            if (screen.find(m_steps.front().text, m_screenMark) == std::string::npos)
                return false;
            m_steps.pop_front();
        }
        return !m_steps.empty();
    }
    std::uint8_t TakeKey() {
        const std::uint8_t key = m_steps.front().key;
        m_steps.pop_front();
        m_screenMark = screen.size();
        return key;
    }

    std::deque<SStep> m_steps;
    std::size_t m_screenMark = 0;
    std::size_t m_comInAt = 0;
};

} // namespace pc88_test
