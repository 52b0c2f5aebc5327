// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "serial/LineFraming.h"

namespace {

using Lines = std::vector<std::string>;

std::span<const std::uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Feeds the pieces one after another and collects the lines.
Lines Frame(CSerialLineFramer& framer, std::initializer_list<std::string_view> pieces) {
    Lines lines;
    for (std::string_view piece : pieces)
        framer.Feed(AsBytes(piece), [&](std::string&& line) { lines.push_back(std::move(line)); });
    return lines;
}

TEST(SerialFraming, OnlyCrLfEndsALine) {
    CSerialLineFramer framer;
    EXPECT_EQ(Frame(framer, {"\r\nCAS1\r\n0003\r\n0102FF\r\n02\r\n"}),
              (Lines{"", "CAS1", "0003", "0102FF", "02"}));
    EXPECT_EQ(framer.GetPartialLine(), "");

    // A bare LF and a lone CR are characters of the line.
    EXPECT_EQ(Frame(framer, {"CAS1\n\r\n"}), Lines{"CAS1\n"});
    EXPECT_EQ(Frame(framer, {"A\rB\r\n"}), Lines{"A\rB"});
    EXPECT_EQ(Frame(framer, {"\n\n\r\r\n"}), Lines{"\n\n\r"});
    EXPECT_EQ(Frame(framer, {"CAS1\n0003\n"}), Lines{});
    EXPECT_EQ(framer.GetPartialLine(), "CAS1\n0003\n");
}

TEST(SerialFraming, LineEndMaySpanTwoDeliveries) {
    CSerialLineFramer framer;
    EXPECT_EQ(Frame(framer, {"CA", "S1\r", "\n02", "\r", "\n"}), (Lines{"CAS1", "02"}));
}

TEST(SerialFraming, ZeroByteIsAnOrdinaryCharacter) {
    CSerialLineFramer framer;
    const std::string text("0\0003\r\n", 5);
    EXPECT_EQ(Frame(framer, {text}), Lines{std::string("0\0003", 3)});
}

TEST(SerialFraming, EndlessNoiseIsDroppedButTheLineAfterItArrives) {
    CSerialLineFramer framer;
    const std::string noise(3 * CSerialLineFramer::kMaxLineLength + 5, 'x');
    EXPECT_EQ(Frame(framer, {noise, noise}), Lines{});
    EXPECT_LE(framer.GetPartialLine().size(), CSerialLineFramer::kMaxLineLength);
    EXPECT_GT(framer.GetDroppedBytes(), 0u);
    // The newest bytes are kept, so a line end that follows still ends it.
    const Lines lines = Frame(framer, {"\r\nCAS1\r\n"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "CAS1");
}

TEST(ClipboardFraming, CutsAtEveryLineEndAndSkipsEmptyPieces) {
    EXPECT_EQ(SplitClipboardText("CAS1\r\n0003\r\n\r\n0102FF\n02\r"),
              (Lines{"CAS1", "0003", "0102FF", "02"}));
    EXPECT_EQ(SplitClipboardText("CAS2\r\n3\r\r\n\n\n"), (Lines{"CAS2", "3"}));
}

TEST(ClipboardFraming, UsesOnlyTextThatBeginsWithAHeaderLine) {
    EXPECT_TRUE(SplitClipboardText("\r\nCAS1\r\n0003\r\n").empty());
    EXPECT_TRUE(SplitClipboardText("cas1\r\n0003\r\n").empty());
    EXPECT_TRUE(SplitClipboardText("CAS1\n0003\r\n").empty());
    EXPECT_TRUE(SplitClipboardText("CAS3\r\n").empty());
    EXPECT_TRUE(SplitClipboardText("").empty());
}

TEST(ClipboardFraming, TextEndsAtItsFirstZeroByte) {
    EXPECT_EQ(SplitClipboardText(std::string("CAS1\r\n00\0"
                                             "03\r\n",
                                             12)),
              (Lines{"CAS1", "00"}));
}

} // namespace
