// SPDX-License-Identifier: GPL-3.0-or-later
// The waveform view's side of the session: the recording a tape was opened
// from (its name and how it was decoded), and the road from a marked byte
// of the tape as it is now to the same byte of the recording's decoding.
// A mark keeps the time of its first byte in the recording; that time
// names the decoded byte whatever edits have moved its block since.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "audio/Recording.h"
#include "tape/DamageMarks.h"

struct CRecordingSource {
    std::string strPath;
    CRecordingOptions options;
};

// The recording blocks of the tape were read from, kept in their notes:
// where it is, how it was decoded and the damage its decoding found (by
// block and offset as the decoding counts them), through which a marked
// byte finds its place in the recording.
class CTakeRecording final : public CBlockSource {
  public:
    CTakeRecording(CRecordingSource source, std::vector<CDamagedByte> damage)
        : m_source(std::move(source)), m_damage(std::move(damage)) {}
    CRecordingSource m_source;
    std::vector<CDamagedByte> m_damage;
};

// The recording behind a block's note, if it has one.
const CTakeRecording* TakeRecordingOf(const CBlockNote& note);

// A byte of the recording's decoding: its block and offset as the
// decoding counts them.
struct CDecodedPlace {
    std::size_t nBlock;
    std::size_t nOffset;
    friend bool operator==(const CDecodedPlace&, const CDecodedPlace&) = default;
};

// The decoded byte that byte nOffset of block nBlock of the tape came from,
// found through the mark that covers it and the damage of the decoding;
// nothing for a byte no mark covers, or a mark the decoding does not know.
std::optional<CDecodedPlace> FindDecodedByte(std::span<const CDamageMark> marks,
                                             std::span<const CDamagedByte> damage,
                                             std::size_t nBlock, std::size_t nOffset);

// The offsets of the marked bytes of a block, in order.
std::vector<std::size_t> MarkedBytesOf(std::span<const CDamageMark> marks, std::size_t nBlock);

// A byte of the tape: its block and offset.
struct CTapePlace {
    std::size_t nBlock;
    std::size_t nOffset;
    friend bool operator==(const CTapePlace&, const CTapePlace&) = default;
};

// The marked byte after (before) byte nOffset of block nBlock, in block and
// offset order over the whole tape; nothing past the last (first) one.
std::optional<CTapePlace> NextMarkedByte(std::span<const CDamageMark> marks, std::size_t nBlock,
                                         std::size_t nOffset, bool bForward);
