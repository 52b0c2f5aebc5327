// SPDX-License-Identifier: GPL-3.0-or-later
// The views of a block on any bytes, as a BASIC program (behind a header),
// as machine-code records (behind ':' and "$$$") and as they are: every view
// that fits gives text, the listing stops inside the block, a damage offset
// lies within it, and a listing that came whole tokenises back to a block
// that lists the same.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "inspect/BasicCruncher.h"
#include "inspect/BasicListing.h"
#include "inspect/BlockView.h"

namespace {

void AllViews(const std::vector<std::uint8_t>& block) {
    using inspect::EBlockView;
    for (EBlockView view : {EBlockView::hex, EBlockView::basic, EBlockView::machine}) {
        if (!inspect::ViewFits(view, block))
            continue;
        const inspect::SBlockText shown = inspect::ShowBlock(block, view);
        for (const inspect::SBlockDamage& damage : shown.damage)
            FUZZ_CHECK(damage.offset <= block.size());
        FUZZ_CHECK(view != EBlockView::hex || shown.text.size() >= block.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::vector<std::uint8_t> basic(10, 0xD3);
    basic.insert(basic.end(), {'F', 'U', 'Z', 'Z', 0, 0});
    basic.insert(basic.end(), bytes.begin(), bytes.end());
    std::vector<std::uint8_t> machine{':'};
    machine.insert(machine.end(), bytes.begin(), bytes.end());
    std::vector<std::uint8_t> named{'$', '$', '$', 'F', 'U', 'Z', 'Z', 0, 0, ':'};
    named.insert(named.end(), bytes.begin(), bytes.end());
    for (const auto* block : {&basic, &machine, &named})
        AllViews(*block);
    AllViews(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));

    // A program that lists whole is taken back by the cruncher, unless a
    // line holds what LIST shows but cannot be typed (a '.' for a control
    // byte, too long a line); what it takes lists the same again.
    const inspect::SBasicListing listing = inspect::ListBasic(basic);
    if (!listing.stoppedAt) {
        try {
            const CTapeBlock again = inspect::BuildBasicBlock(listing.text, {}, kBaudFast);
            (void)inspect::ListBasic(again.m_data);
        } catch (const inspect::CBasicTextError&) {
        }
    }
    // Any text, as a listing.
    try {
        const CTapeBlock made = inspect::BuildBasicBlock(
            std::string_view(reinterpret_cast<const char*>(data), size), {}, kBaudFast);
        const inspect::SBasicListing back = inspect::ListBasic(made.m_data);
        FUZZ_CHECK(!back.stoppedAt);
    } catch (const inspect::CBasicTextError&) {
    }
    return 0;
}
