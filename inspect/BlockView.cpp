// SPDX-License-Identifier: GPL-3.0-or-later
#include "inspect/BlockView.h"

#include "inspect/BasicListing.h"
#include "inspect/HexDump.h"
#include "inspect/Z80Listing.h"
#include "tape/BlockInfo.h"

namespace inspect {

EBlockView SuggestedView(std::span<const std::uint8_t> block) {
    switch (IdentifyBlock(block.data(), block.size())) {
    case BLOCK_BASIC:
        return EBlockView::basic;
    case BLOCK_MACHINE:
    case BLOCK_NAMED_MACHINE:
        return EBlockView::machine;
    default:
        return EBlockView::hex;
    }
}

bool ViewFits(EBlockView view, std::span<const std::uint8_t> block) {
    const int kind = IdentifyBlock(block.data(), block.size());
    switch (view) {
    case EBlockView::basic:
        return kind == BLOCK_BASIC;
    case EBlockView::machine:
        return kind == BLOCK_MACHINE || kind == BLOCK_NAMED_MACHINE;
    case EBlockView::hex:
        break;
    }
    return true;
}

SBlockText ShowBlock(std::span<const std::uint8_t> block, EBlockView view) {
    using EKind = SBlockDamage::EKind;
    SBlockText shown;
    switch (view) {
    case EBlockView::hex:
        shown.text = HexDump(block);
        break;
    case EBlockView::basic: {
        SBasicListing listing = ListBasic(block);
        shown.text = std::move(listing.text);
        if (listing.stoppedAt) {
            const EKind kind = listing.reason == SBasicListing::EStop::brokenLink
                                   ? EKind::brokenLink
                                   : EKind::programCutOff;
            shown.damage.push_back({kind, *listing.stoppedAt});
        }
        break;
    }
    case EBlockView::machine: {
        SMachineListing listing = ListMachineCode(block);
        shown.text = std::move(listing.text);
        for (std::size_t offset : listing.badChecks)
            shown.damage.push_back({EKind::badCheck, offset});
        if (listing.cutOff)
            shown.damage.push_back({EKind::recordsCutOff, listing.stoppedAt});
        break;
    }
    }
    return shown;
}

} // namespace inspect
