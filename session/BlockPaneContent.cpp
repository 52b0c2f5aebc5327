// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/BlockPaneContent.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "inspect/HexDump.h"
#include "res/FormatString.h"

namespace {

using inspect::EBlockView;
using inspect::SBlockDamage;

std::string Offset(std::size_t nOffset) {
    char text[32];
    std::snprintf(text, sizeof text, "%04zXH", nOffset);
    return text;
}

std::string DamageNote(const SBlockDamage& damage) {
    res::StringId nId = res::IDS_PANE_BROKEN_LINK;
    switch (damage.kind) {
    case SBlockDamage::EKind::brokenLink:
        nId = res::IDS_PANE_BROKEN_LINK;
        break;
    case SBlockDamage::EKind::programCutOff:
        nId = res::IDS_PANE_PROGRAM_CUT;
        break;
    case SBlockDamage::EKind::badCheck:
        nId = res::IDS_PANE_BAD_CHECK;
        break;
    case SBlockDamage::EKind::recordsCutOff:
        nId = res::IDS_PANE_RECORDS_CUT;
        break;
    }
    return res::FormatString(nId, {Offset(damage.offset)});
}

// The UTF-16 code units of a UTF-8 text: one per character, two for one
// beyond the first 64K.
std::size_t Utf16Length(std::string_view text) {
    std::size_t n = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80)
            n += byte >= 0xF0 ? 2 : 1;
    }
    return n;
}

// Where the nChar-th character after byte nFrom of the line starts, in bytes.
std::size_t CharacterStart(std::string_view line, std::size_t nFrom, std::size_t nChar) {
    std::size_t i = nFrom;
    for (std::size_t n = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80)
            continue;
        if (n++ == nChar)
            return i;
    }
    return line.size();
}

} // namespace

res::StringId PaneViewName(EBlockView view) {
    switch (view) {
    case EBlockView::basic:
        return res::IDS_PANE_VIEW_BASIC;
    case EBlockView::machine:
        return res::IDS_PANE_VIEW_ASM;
    case EBlockView::hex:
        break;
    }
    return res::IDS_PANE_VIEW_HEX;
}

const CTapeBlock* CBlockPaneModel::Shown() const {
    if (m_nIndex < 0 || static_cast<std::size_t>(m_nIndex) >= m_doc.m_blocks.size())
        return nullptr;
    return &m_doc.m_blocks[static_cast<std::size_t>(m_nIndex)];
}

void CBlockPaneModel::ShowBlock(int nIndex) {
    if (nIndex == m_nIndex && nIndex >= 0)
        return;
    m_nIndex = nIndex;
    if (const CTapeBlock* pBlock = Shown())
        m_view = inspect::SuggestedView(pBlock->m_data);
}

void CBlockPaneModel::ShowAfresh(int nIndex) {
    m_nIndex = -1;
    ShowBlock(nIndex);
}

void CBlockPaneModel::SetView(EBlockView view) {
    const CTapeBlock* pBlock = Shown();
    if (pBlock == nullptr || inspect::ViewFits(view, pBlock->m_data))
        m_view = view;
}

EBlockView CBlockPaneModel::GetView() const {
    const CTapeBlock* pBlock = Shown();
    if (pBlock != nullptr && !inspect::ViewFits(m_view, pBlock->m_data))
        return inspect::SuggestedView(pBlock->m_data);
    return m_view;
}

CBlockPaneContent CBlockPaneModel::GetContent() const {
    CBlockPaneContent content;
    const CTapeBlock* pBlock = Shown();
    content.view = GetView();
    if (pBlock == nullptr)
        return content;
    const ByteArray& block = pBlock->m_data;
    content.bBlock = true;
    for (std::size_t i = 0; i < kPaneViewCount; ++i)
        content.fits[i] = inspect::ViewFits(kPaneViews[i], block);

    inspect::SBlockText shown = inspect::ShowBlock(block, content.view);
    content.strText = std::move(shown.text);
    for (const SBlockDamage& damage : shown.damage)
        content.notes.push_back(DamageNote(damage));

    // The tape's marks go with their blocks through every edit (and come
    // back from a KXM image); the decoder's list counts block by block as
    // the recording was opened, so once the tape is edited its bytes may
    // belong to another block.
    std::vector<std::size_t> damaged;
    if (content.view == EBlockView::hex) {
        const auto nBlock = static_cast<std::size_t>(m_nIndex);
        for (const CDamageMark& mark : MarksOfBlock(m_doc.m_damageMarks, nBlock)) {
            for (std::size_t k = 0; k < mark.nCount; ++k)
                damaged.push_back(mark.nOffset + k);
        }
        if (!m_doc.IsModified()) {
            for (const CDamagedByte& mark : m_damage) {
                if (mark.nBlock == nBlock)
                    damaged.push_back(mark.nOffset);
            }
        }
        std::erase_if(damaged, [&](std::size_t k) { return k >= block.size(); });
        std::sort(damaged.begin(), damaged.end());
        damaged.erase(std::unique(damaged.begin(), damaged.end()), damaged.end());
    }
    if (!damaged.empty()) {
        content.spans = DumpSpans(content.strText, damaged);
        content.notes.push_back(
            res::FormatString(res::IDS_PANE_RECORDING_DAMAGE, {std::to_string(damaged.size())}));
    }
    return content;
}

std::vector<CPaneSpan> DumpSpans(const std::string& strDump, std::span<const std::size_t> offsets) {
    std::vector<std::string_view> lines;
    for (std::size_t nStart = 0; nStart < strDump.size();) {
        const std::size_t nEnd = std::min(strDump.find('\n', nStart), strDump.size());
        lines.push_back(std::string_view(strDump).substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    std::vector<CPaneSpan> spans;
    for (const std::size_t nOffset : offsets) {
        const std::size_t nLine = nOffset / inspect::kDumpBytesPerLine;
        if (nLine >= lines.size())
            continue;
        const std::string_view line = lines[nLine];
        const std::size_t nLength = Utf16Length(line);
        // The offset field is four digits, or more in a block past 64 KB.
        const std::size_t nHex = std::min(line.find(" : "), line.size()) + 3;
        const std::size_t nText = std::min(line.find(" : ", nHex), line.size()) + 3;
        const std::size_t nColumn = nOffset % inspect::kDumpBytesPerLine;
        auto span = [&](std::size_t nAt, std::size_t nChars) {
            const std::size_t nStart =
                std::min(Utf16Length(line.substr(0, std::min(nAt, line.size()))), nLength);
            return CPaneSpan{nLine, nStart, std::min(nChars, nLength - nStart)};
        };
        spans.push_back(span(nHex + 3 * nColumn, 2));
        // A character of the text column is one UTF-16 unit, whatever its bytes.
        spans.push_back(span(CharacterStart(line, nText, nColumn), 1));
    }
    return spans;
}
