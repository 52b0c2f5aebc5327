// SPDX-License-Identifier: GPL-3.0-or-later
// The three views of a block, chosen by its kind: a BASIC program lists, a
// machine-code file disassembles, anything else dumps. What could not be
// read whole is told apart from the text, with its block offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace inspect {

enum class EBlockView { hex, basic, machine };

struct SBlockDamage {
    enum class EKind {
        brokenLink,    // a BASIC line whose link does not lead to the next line
        programCutOff, // a BASIC program that ends before its zero link
        badCheck,      // a machine-code record whose check byte is wrong
        recordsCutOff, // machine-code records that end before the end record
    };
    EKind kind;
    std::size_t offset;
};

struct SBlockText {
    std::string text;
    std::vector<SBlockDamage> damage;
};

// The view a block's kind suggests.
EBlockView SuggestedView(std::span<const std::uint8_t> block);

// Whether the view can show the block: the hex view always, the others
// only blocks of their kind.
bool ViewFits(EBlockView view, std::span<const std::uint8_t> block);

// The block in the view (which must fit it).
SBlockText ShowBlock(std::span<const std::uint8_t> block, EBlockView view);

} // namespace inspect
