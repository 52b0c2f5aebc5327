// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/WaveformDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "res/FormatString.h"

namespace {

std::string Hex(std::uint8_t nValue) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", nValue);
    return text;
}

std::string Binary(std::uint8_t nValue) {
    std::string text;
    for (int i = 7; i >= 0; --i)
        text += (nValue >> i & 1) != 0 ? '1' : '0';
    return text;
}

} // namespace

CWaveformDrawing LayoutWaveform(const CByteWaveform& wave, std::uint8_t nShownValue, double dWidth,
                                double dHeight, double dLineHeight) {
    CWaveformDrawing drawing;
    const std::size_t nSamples = wave.samples.size();
    if (nSamples < 2)
        return drawing;
    drawing.bSignal = true;
    CWaveformPlot& plot = drawing.plot;
    plot.dTop = dLineHeight * kWaveformLinesAbove;
    plot.dWidth = dWidth;
    plot.dHeight =
        std::max(0.0, dHeight - dLineHeight * (kWaveformValueLines + kWaveformLinesAbove));
    plot.dSampleStep = dWidth / static_cast<double>(nSamples - 1);
    float fPeak = 0.0f;
    for (const float v : wave.samples)
        fPeak = std::max(fPeak, std::fabs(v));
    plot.dScale = fPeak > 0 ? plot.dHeight / 2 / fPeak * 0.9 : 0;
    drawing.dBitsTop = 0;
    drawing.dValuesBottom = plot.Bottom() + dLineHeight * kWaveformValueLines;

    for (std::size_t j = 0; j < wave.bytes.size(); ++j) {
        const CWaveformByte& byte = wave.bytes[j];
        CWaveformByteDrawing& shown = drawing.bytes.emplace_back();
        shown.ground = j == wave.nShown ? EWaveformGround::shown
                       : byte.fault     ? EWaveformGround::damaged
                                        : EWaveformGround::plain;
        for (int i = 0; i <= kBitsPerByte; ++i)
            shown.lines[i] = plot.X(byte.cells[i]);
        for (int i = 0; i < kBitsPerByte; ++i) {
            const double dDoubt = byte.bLost ? 1.0 : 1.0 - std::clamp(byte.margins[i], 0.0, 1.0);
            shown.bits[i] = {shown.lines[i], shown.lines[i + 1],
                             byte.bLost     ? '?'
                             : byte.bits[i] ? '1'
                                            : '0',
                             static_cast<int>(220 * dDoubt)};
        }
        shown.strValue = Hex(j == wave.nShown ? nShownValue : byte.nValue);
    }
    return drawing;
}

std::string WaveformTitle(std::size_t nBlock, std::size_t nOffset) {
    return res::FormatString(res::IDS_WAVEFORM_TITLE,
                             {std::to_string(nBlock), std::to_string(nOffset)});
}

std::optional<std::uint8_t> TapeByte(const CRelmuthDoc& doc, std::size_t nBlock,
                                     std::size_t nOffset) {
    if (nBlock >= doc.m_blocks.size() || nOffset >= doc.m_blocks[nBlock].m_data.size())
        return std::nullopt;
    return doc.m_blocks[nBlock].m_data[nOffset];
}

std::string WaveformStateText(const CRelmuthDoc& doc, std::size_t nBlock, std::size_t nOffset) {
    std::string text(res::LoadString(res::IDS_WAVEFORM_CLEAN));
    for (const CDamageMark& mark : MarksOfBlock(doc.m_damageMarks, nBlock)) {
        if (nOffset >= mark.nOffset && nOffset - mark.nOffset < mark.nCount)
            text = DescribeDamageMark(mark);
    }
    return text;
}

std::vector<std::string> WaveformReadingTexts(const CByteWaveform& wave,
                                              std::optional<std::uint8_t> nNow) {
    std::vector<std::string> texts;
    for (const std::uint8_t nValue : wave.readings) {
        const auto nId =
            nValue == nNow ? res::IDS_WAVEFORM_READING_NOW : res::IDS_WAVEFORM_READING_OTHER;
        texts.push_back(res::FormatString(nId, {Hex(nValue), Binary(nValue)}));
    }
    return texts;
}

std::optional<CSteppedWaveform> StepWaveform(CTapeSession& session, std::size_t nBlock,
                                             std::size_t nOffset, bool bForward) {
    const CDamageMarks& marks = session.GetDocument().m_damageMarks;
    for (auto at = NextMarkedByte(marks, nBlock, nOffset, bForward); at;
         at = NextMarkedByte(marks, at->nBlock, at->nOffset, bForward)) {
        if (auto wave = session.ReadWaveform(at->nBlock, at->nOffset))
            return CSteppedWaveform{*at, std::move(*wave)};
    }
    return std::nullopt;
}
