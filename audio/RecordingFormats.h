// SPDX-License-Identifier: GPL-3.0-or-later
// Cassette recordings as rows of the format table: .wav .flac .ogg .aif
// .aiff .mp3 are decoded into blocks when read; only .wav is written.
#pragma once

#include <string>
#include <vector>

#include "audio/Recording.h"
#include "tape/TapeFormats.h"

// A reading that may be of a recording: how it is decoded, and the bytes
// that did not decode cleanly, by block index and offset in the tape read.
// Any other format reads into it as into a plain reading.
class CRecordingReading : public CTapeReading {
  public:
    CRecordingOptions m_options;
    std::vector<CDamagedByte> m_damage;
    // How clearly each block read was decoded, block for block.
    std::vector<CBlockQuality> m_quality;
};

// The recording rows alone.
std::vector<CTapeFormatRow> RecordingFormatRows();
// Every format this program reads: the tape images, then the recordings.
const CTapeFormats& TapeFormats();

// Whether a name is a cassette recording's (.wav .flac .ogg .aif .aiff .mp3).
bool IsRecordingName(const std::string& strPathName);
