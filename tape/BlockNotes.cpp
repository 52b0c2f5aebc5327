// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/BlockNotes.h"

#include <algorithm>

std::optional<CReadScore> ScoreOf(const CBlockNote& note) {
    if (note.confidence.empty())
        return std::nullopt;
    double dTotal = 0;
    for (const std::uint8_t c : note.confidence)
        dTotal += c;
    const std::uint8_t nWeakest = *std::min_element(note.confidence.begin(), note.confidence.end());
    return CReadScore{dTotal / 255.0 / static_cast<double>(note.confidence.size()),
                      nWeakest / 255.0};
}
