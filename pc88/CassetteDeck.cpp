// SPDX-License-Identifier: GPL-3.0-or-later
#include "pc88/CassetteDeck.h"

#include <algorithm>

#include "audio/RecordingFormats.h"
#include "tape/Archive.h"
#include "tape/BlockInfo.h"
#include "tape/KxmFormat.h"
#include "tape/RelmuthDoc.h"
#include "tape/T88Format.h"

namespace pc88 {

namespace {

constexpr std::uint64_t kBitsPerTapeByte = 11;

std::uint64_t TicksToTstates(std::uint64_t ticks) {
    return ticks * CCassetteDeck::kClockHz / kTicksPerSecond;
}

} // namespace

void CCassetteDeck::AddRecord(CRecord record) {
    m_nEnd = std::max(m_nEnd, record.nStart + record.nDuration);
    if (!record.bytes.empty())
        m_records.push_back(std::move(record));
}

void CCassetteDeck::AppendBytes(std::span<const std::uint8_t> bytes, int nBaud,
                                bool bReceiveError) {
    const std::uint64_t perByte = kBitsPerTapeByte * kClockHz / static_cast<std::uint64_t>(nBaud);
    AddRecord(CRecord{m_nEnd, perByte * bytes.size(), nBaud, bReceiveError,
                      std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
}

void CCassetteDeck::OnData(std::uint32_t nStart, std::uint32_t nDuration, int nBaud,
                           std::span<const std::uint8_t> bytes) {
    const std::size_t nBefore = m_builtBlocks.size();
    m_builder.OnData(nStart, nDuration, nBaud, bytes);
    const std::uint64_t start = m_nImageBase + TicksToTstates(nStart);
    if (m_builtBlocks.size() != nBefore)
        m_blocks.push_back(CDeckBlock{start, m_builtBlocks.back().m_nBaud, 0, 0});
    if (!m_blocks.empty()) {
        const ByteArray& data = m_builtBlocks.back().m_data;
        m_blocks.back().nSize = data.size();
        m_blocks.back().nKind = IdentifyBlock(data.data(), data.size());
    }
    AddRecord(CRecord{start, TicksToTstates(nDuration), nBaud == kBaudSlow ? kBaudSlow : kBaudFast,
                      false, std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
}

void CCassetteDeck::OnGap(TapeGap, std::uint32_t nStart, std::uint32_t nDuration) {
    m_nEnd = std::max(m_nEnd, m_nImageBase + TicksToTstates(std::uint64_t{nStart} + nDuration));
}

void CCassetteDeck::OnNextImage() {
    m_builder.OnNextImage();
    m_nImageBase = m_nEnd;
}

void CCassetteDeck::MoveTo(std::uint64_t now) {
    if (m_bMotor && now > m_nMoved)
        m_nPos += now - m_nMoved;
    m_nMoved = std::max(m_nMoved, now);
}

void CCassetteDeck::SetMotor(bool bOn, std::uint64_t now) {
    MoveTo(now);
    m_bMotor = bOn;
}

void LoadTapeFile(const std::string& path, int nRawBaud, CCassetteDeck& deck) {
    CFile file = CFile::OpenForReading(path);
    CFileArchive ar(file, CArchive::load);
    // A KXM or T88 image plays with its own records and gaps.
    if (!IsRawImageName(path) && !IsRecordingName(path)) {
        ReadTapeImageRecords(ar, IsT88Name(path) ? kT88Magic : kKxmMagic, deck);
        return;
    }
    // A raw image holds bytes only, and a recording is decoded into blocks:
    // their blocks go on tape as the KXM writer would put them, a raw
    // image's at the speed the user gives.
    CRelmuthDoc doc(nullptr, TapeFormats());
    doc.Serialize(ar);
    std::vector<CTapeBlock> blocks = doc.m_blocks;
    if (IsRawImageName(path)) {
        for (CTapeBlock& block : blocks)
            block.m_nBaud = nRawBaud;
    }
    LayOutBlocks(blocks, deck);
}

} // namespace pc88
