// SPDX-License-Identifier: GPL-3.0-or-later
// One byte of a decoded recording as the waveform view shows it: the signal
// around the byte, the bit cells and bytes the decoder framed on it, the
// reading the tape holds and the other readings the decoder weighed.
//
// The recording is decoded again with the options it was opened with (the
// decoding is the same, so the blocks and offsets are too), keeping the
// cells of the byte and of a few bytes on either side; a second pass takes
// the samples under them from the channel the decoder chose.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/Recording.h"

// A byte drawn on the signal.
struct CWaveformByte {
    std::size_t nOffset;            // in its block
    double cells[kBitsPerByte + 1]; // samples from the window's first: the start edge, then
                                    // the end of each cell
    bool bits[kBitsPerByte];        // start bit, data bits lowest first, stop bits
    double margins[kBitsPerByte];   // how clearly each cell was decided, 0 to 1
    std::uint8_t nValue;            // as the decoding read it
    bool bLost;                     // no signal: the cells are where the byte should be
    std::optional<ByteFault> fault; // why it is not clean, if it is not
    friend bool operator==(const CWaveformByte&, const CWaveformByte&) = default;
};

struct CByteWaveform {
    double dSampleRate = 0;
    std::uint64_t nFirstSample = 0; // where the window starts in the recording
    std::vector<float> samples;     // the window, from the channel decoded (or the mix)
    int nChannel = 0;               // that channel, from 0; -1 the mix of all
    int nBaud = 0;                  // of the block
    std::size_t nBlock = 0;         // the byte shown, as the decoding counts blocks
    std::size_t nOffset = 0;
    std::vector<CWaveformByte> bytes; // the bytes in the window, in order
    std::size_t nShown = 0;           // the byte shown among them
    // What the byte may be: the decoding's reading first, then the other
    // readings it weighed (its least clear data bits the other way).
    std::vector<std::uint8_t> readings;
};

// How many bytes on either side of the byte shown are drawn with it.
inline constexpr std::size_t kWaveformContext = 3;

// The byte at nOffset of block nBlock, as ReadRecording with these options
// counts blocks (from 0). Nothing when the decoding has no such byte.
// Throws as ReadRecording does for a file that cannot be read.
std::optional<CByteWaveform> ReadByteWaveform(const std::string& strPath,
                                              const CRecordingOptions& options, std::size_t nBlock,
                                              std::size_t nOffset);
std::optional<CByteWaveform> ReadByteWaveform(std::span<const std::uint8_t> file,
                                              const CRecordingOptions& options, std::size_t nBlock,
                                              std::size_t nOffset);

// The readings of a byte from its cells: its value, then its weakest data
// bit flipped, the next weakest, both; a lost byte has its value alone.
std::vector<std::uint8_t> ReadingsOf(const CWaveformByte& byte);
