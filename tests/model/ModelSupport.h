// SPDX-License-Identifier: GPL-3.0-or-later
// Shared pieces of the model tests: the fixture that loads the routine from
// Grebe's DATA lines into a fresh model, and small byte-building helpers.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "loader/RoutineSymbols.h"
#include "pc88/Pc8801.h"

namespace model_test {

using Bytes = std::vector<std::uint8_t>;

Bytes Rep(std::uint8_t byte, std::size_t n);
Bytes Str(std::string_view text);
Bytes Cat(std::initializer_list<Bytes> parts);

// The bytes in the DATA strings of lines 1170 on, in order.
Bytes DecodeGrebeData(std::span<const std::uint8_t> text);

// Lengths of the runs of "beeper on" in ticks from index `from` on.
std::vector<int> BeepRuns(const std::vector<bool>& ticks, std::size_t from);

inline constexpr std::uint8_t kEsc = 0x1B;
inline constexpr std::uint8_t kCtrlC = 0x03;
inline constexpr double kTickT = pc88::kClockHz / 60.0;

class ModelTest : public ::testing::Test {
  protected:
    ModelTest();

    // Puts bytes into the buffer from offset 0 and sets DATALEN, as a read would.
    void SetBlock(const Bytes& bytes);
    void SetDataLen(std::uint16_t n) { model.SetRamWord(routine::DATALEN, n); }
    std::uint8_t ResultCode() const { return model.Ram(routine::RESCODE); }
    Bytes Buffer(std::size_t n) const;

    pc88::CallResult Read(std::uint16_t mode, double maxSeconds = 120.0) {
        return model.Call(routine::TAPEREAD, mode, pc88::kTypeInteger, maxSeconds);
    }

    pc88::CPc8801 model;
};

} // namespace model_test

// Every after-call check of the model held.
#define EXPECT_CLEAN(result) EXPECT_THAT((result).failures, ::testing::IsEmpty())
