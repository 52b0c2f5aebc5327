// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform view of a damaged byte, whatever draws it: where the signal,
// the bit cells, each cell's bit and each byte's value go in a view of a
// given size, the texts of the dialog around it (its title, what it says
// of the byte, the readings to pick from), and its steps to the marked
// byte before or after.
//
//   bits:    0 1 ? ...        one line high, above the signal, each bit
//                             the redder the less clearly it was decided
//   signal:  the samples, scaled to nine tenths of half the plot's height
//            at their peak, between the cell lines of each byte
//   values:  5E               two lines high, below the signal
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/ByteWaveform.h"
#include "session/TapeSession.h"
#include "tape/RelmuthDoc.h"

// The signal's area and its scales, in the view's units from its top left.
struct CWaveformPlot {
    double dLeft = 0;
    double dTop = 0;
    double dWidth = 0;
    double dHeight = 0;
    double dSampleStep = 0; // units from one sample to the next
    double dScale = 0;      // units per unit of sample value
    double X(double dSample) const { return dLeft + dSample * dSampleStep; }
    double Y(double dValue) const { return dTop + dHeight / 2 - dValue * dScale; }
    double Bottom() const { return dTop + dHeight; }
};

enum class EWaveformGround { plain, shown, damaged };

// One cell's bit above the signal.
struct CWaveformBit {
    double dLeft;
    double dRight;
    char cText; // '0', '1', or '?' for a byte without signal
    int nRed;   // its colour: red from 0 (clearly decided) to 220 (not at all)
    friend bool operator==(const CWaveformBit&, const CWaveformBit&) = default;
};

struct CWaveformByteDrawing {
    EWaveformGround ground;
    double lines[kBitsPerByte + 1]; // the cell lines; the first and last frame the byte
    CWaveformBit bits[kBitsPerByte];
    std::string strValue; // "5E", below the byte
    double Left() const { return lines[0]; }
    double Right() const { return lines[kBitsPerByte]; }
    friend bool operator==(const CWaveformByteDrawing&, const CWaveformByteDrawing&) = default;
};

struct CWaveformDrawing {
    bool bSignal = false; // fewer than two samples draw nothing
    CWaveformPlot plot;
    double dBitsTop = 0;      // the bits' line: from here to the plot's top
    double dValuesBottom = 0; // the values: from the plot's bottom to here
    std::vector<CWaveformByteDrawing> bytes;
};

// How many lines of text the view needs above and below the signal.
inline constexpr double kWaveformLinesAbove = 1.5;
inline constexpr int kWaveformValueLines = 2;

// The drawing in a view dWidth by dHeight whose text lines are dLineHeight
// high; nShownValue is what the tape holds now for the byte shown.
CWaveformDrawing LayoutWaveform(const CByteWaveform& wave, std::uint8_t nShownValue, double dWidth,
                                double dHeight, double dLineHeight);

// "波形 - ブロック 0、4 バイト目".
std::string WaveformTitle(std::size_t nBlock, std::size_t nOffset);
// What the tape holds at the byte; nothing for a byte no longer there.
std::optional<std::uint8_t> TapeByte(const CRelmuthDoc& doc, std::size_t nBlock,
                                     std::size_t nOffset);
// What the dialog says of the byte: its damage mark described, or that it
// is marked no more.
std::string WaveformStateText(const CRelmuthDoc& doc, std::size_t nBlock, std::size_t nOffset);
// The readings as the list shows them: "5A (01011010) いまの読み" for the one
// the tape holds (nNow), "ほかの読み" for each other.
std::vector<std::string> WaveformReadingTexts(const CByteWaveform& wave,
                                              std::optional<std::uint8_t> nNow);

// The marked byte after (before) byte nOffset of block nBlock whose
// waveform the session can read again, with that waveform; nothing when
// there is none.
struct CSteppedWaveform {
    CTapePlace place;
    CByteWaveform wave;
};
std::optional<CSteppedWaveform> StepWaveform(CTapeSession& session, std::size_t nBlock,
                                             std::size_t nOffset, bool bForward);
