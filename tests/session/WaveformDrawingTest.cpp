// SPDX-License-Identifier: GPL-3.0-or-later
// Where the waveform view draws the signal, the cells, the bits and the
// values, and what its dialog says, for both window programs.
#include <gtest/gtest.h>

#include "session/WaveformDrawing.h"

namespace {

// Five samples peaking at 0.5; two bytes of quarter-sample cells, the
// second shown, the first with no signal.
CByteWaveform TwoBytes() {
    CByteWaveform wave;
    wave.samples = {0.0f, 0.5f, -0.25f, 0.0f, 0.1f};
    for (int j = 0; j < 2; ++j) {
        CWaveformByte byte{};
        byte.nOffset = static_cast<std::size_t>(j);
        for (int i = 0; i <= kBitsPerByte; ++i)
            byte.cells[i] = 0.25 * i + 2 * j;
        for (int i = 0; i < kBitsPerByte; ++i) {
            byte.bits[i] = i % 2 == 1;
            byte.margins[i] = i == 3 ? 0.5 : 1.0;
        }
        byte.nValue = j == 0 ? 0x00 : 0x5E;
        byte.bLost = j == 0;
        if (j == 0)
            byte.fault = ByteFault::lost;
        wave.bytes.push_back(byte);
    }
    wave.nShown = 1;
    wave.readings = {0x5E, 0x5A};
    return wave;
}

TEST(WaveformDrawing, TheSignalFillsThePlotBetweenTheBitsAndTheValues) {
    const CWaveformDrawing drawing = LayoutWaveform(TwoBytes(), 0x5A, 400, 200, 10);
    ASSERT_TRUE(drawing.bSignal);
    const CWaveformPlot& plot = drawing.plot;
    // 1.5 lines above for the bits, two below for the values.
    EXPECT_DOUBLE_EQ(plot.dTop, 15);
    EXPECT_DOUBLE_EQ(plot.Bottom(), 180);
    EXPECT_DOUBLE_EQ(drawing.dValuesBottom, 200);
    // Sample 4 at the right edge; the peak at nine tenths of half the height.
    EXPECT_DOUBLE_EQ(plot.X(0), 0);
    EXPECT_DOUBLE_EQ(plot.X(4), 400);
    EXPECT_DOUBLE_EQ(plot.Y(0), 97.5);
    EXPECT_DOUBLE_EQ(plot.Y(0.5), 97.5 - 82.5 * 0.9);
    EXPECT_DOUBLE_EQ(plot.Y(-0.5), 97.5 + 82.5 * 0.9);
}

TEST(WaveformDrawing, EachCellShowsItsBitRedderTheLessClearItWasAndTheShownByteTheTapesValue) {
    const CWaveformDrawing drawing = LayoutWaveform(TwoBytes(), 0x5A, 400, 200, 10);
    ASSERT_EQ(drawing.bytes.size(), 2u);
    const CWaveformByteDrawing& lost = drawing.bytes[0];
    const CWaveformByteDrawing& shown = drawing.bytes[1];
    EXPECT_EQ(lost.ground, EWaveformGround::damaged);
    EXPECT_EQ(shown.ground, EWaveformGround::shown);
    EXPECT_EQ(lost.strValue, "00");
    EXPECT_EQ(shown.strValue, "5A"); // what the tape holds, not the decoder's 5E
    EXPECT_DOUBLE_EQ(shown.Left(), 200);
    EXPECT_DOUBLE_EQ(shown.Right(), 200 + 25 * kBitsPerByte);
    EXPECT_EQ(lost.bits[0], (CWaveformBit{0, 25, '?', 220}));
    EXPECT_EQ(shown.bits[0], (CWaveformBit{200, 225, '0', 0}));
    EXPECT_EQ(shown.bits[3], (CWaveformBit{275, 300, '1', 110}));

    CByteWaveform silent = TwoBytes();
    silent.samples.resize(1);
    EXPECT_FALSE(LayoutWaveform(silent, 0, 400, 200, 10).bSignal);
}

TEST(WaveformDrawing, TheDialogSaysWhichReadingTheTapeHoldsAndWhetherTheByteIsMarked) {
    CRelmuthDoc doc;
    doc.ReplaceTape({CTapeBlock{{1, 2, 0x5E}, kBaudFast}},
                    {CDamageMark{0, 2, 1, DamageKind::undecided, 1500}});
    EXPECT_EQ(WaveformTitle(0, 2), "波形 - ブロック 0、2 バイト目");
    EXPECT_EQ(WaveformStateText(doc, 0, 2), DescribeDamageMark(doc.m_damageMarks[0]));
    EXPECT_EQ(WaveformStateText(doc, 0, 1), "このバイトの読みは選ばれています。");
    EXPECT_EQ(TapeByte(doc, 0, 2), std::optional<std::uint8_t>{0x5E});
    EXPECT_EQ(TapeByte(doc, 0, 3), std::nullopt);
    EXPECT_EQ(WaveformReadingTexts(TwoBytes(), 0x5A),
              (std::vector<std::string>{"5E (01011110) ほかの読み", "5A (01011010) いまの読み"}));
    // A byte no longer on the tape holds none of them.
    EXPECT_EQ(WaveformReadingTexts(TwoBytes(), std::nullopt)[0], "5E (01011110) ほかの読み");
}

} // namespace
