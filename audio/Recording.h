// SPDX-License-Identifier: GPL-3.0-or-later
// Cassette recordings as a tape format: a sound file decoded into blocks
// (with a list of the bytes that did not decode cleanly), and blocks or a
// time line written as a WAV file a PC-8801 loads.
//
// Decoding reads the file in chunks: memory follows the tape's bytes, not
// the length of the recording. Progress goes to an optional callback,
// which can cancel.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "audio/CassetteDecoder.h"
#include "tape/Archive.h"
#include "tape/Errors.h"
#include "tape/TapeBlock.h"
#include "tape/TapeFormats.h"
#include "tape/TapeRecords.h"

class CSoundFileReader;

enum class RecordingChannel { automatic, left, right, mix };

struct CRecordingOptions {
    int nBaud = 0; // 600 or 1200 forces that speed for every block; 0 finds it
    RecordingChannel channel = RecordingChannel::automatic; // automatic: the better one
};

// A byte of a decoded block that is not clean; the block holds its best
// reading (0 for a lost byte).
struct CDamagedByte {
    std::size_t nBlock;  // index among the blocks the decoding appended
    std::size_t nOffset; // byte offset in that block
    double dSeconds;     // where the byte starts in the recording
    ByteFault fault;
    int nSlip = 0; // slip: about this many bytes missing (> 0) or extra (< 0) before it
    std::uint8_t nAlternatives = 0;                   // other readings weighed,
    std::uint8_t alternatives[kMaxAlternatives] = {}; // most likely first
    friend bool operator==(const CDamagedByte&, const CDamagedByte&) = default;
};

// The user's line for a damaged byte: its block, offset, the time in the
// recording (m:ss.sss) and what is wrong.
std::string DescribeDamage(const CDamagedByte& damage);

// How well a decoded block was read, from its bytes' confidence: for each
// byte how clearly its least clear bit was decided (0 for a damaged byte).
struct CBlockQuality {
    double dConfidence;   // the mean over the block's bytes, 0 to 1
    double dWeakest;      // the least clear byte's, 0 to 1
    std::size_t nDamaged; // its damaged bytes
    // Each byte's confidence: 0 for a damaged byte, else how clearly its
    // least clear bit was decided, 1 to 255.
    std::vector<std::uint8_t> confidence;
    friend bool operator==(const CBlockQuality&, const CBlockQuality&) = default;
};

// A byte's cells where the decoding placed the byte: its block and offset,
// counted as Finish appends the blocks.
struct CPlacedCells {
    std::size_t nBlock;
    std::size_t nOffset;
    CByteCells cells;
};

// Decodes frames of samples as they come (interleaved, -1.0 to 1.0), each
// channel that may be the better one by a decoder of its own.
class CRecordingDecoder {
  public:
    CRecordingDecoder(double dSampleRate, int nChannels, const CRecordingOptions& options);
    ~CRecordingDecoder();
    CRecordingDecoder(const CRecordingDecoder&) = delete;
    CRecordingDecoder& operator=(const CRecordingDecoder&) = delete;

    void Feed(const float* pFrames, std::size_t nFrames);
    // Ends the recording: appends the blocks of the better channel to
    // blocks (and their quality to *pQuality) and returns its damaged
    // bytes, in block and offset order. Every channel is tried unless the
    // options name one: a channel that gives blocks beats one that gives
    // none, then the one with more clean bytes and fewer damaged ones wins.
    std::vector<CDamagedByte> Finish(std::vector<CTapeBlock>& blocks,
                                     std::vector<CBlockQuality>* pQuality = nullptr);

    // Before the first Feed: keeps the cells of the bytes from offset
    // nFrom up to nTo of block nBlock (as Finish counts them), on every
    // channel tried.
    void KeepCells(std::size_t nBlock, std::size_t nFrom, std::size_t nTo);
    // After Finish: the kept cells of the channel chosen, in offset order,
    // and that channel (-1: the mix of all).
    const std::vector<CPlacedCells>& GetKeptCells() const;
    int GetChosenChannel() const;

  private:
    struct Candidate;
    int m_nChannels;
    std::vector<std::unique_ptr<Candidate>> m_candidates;
    const Candidate* m_pChosen = nullptr;
    std::vector<float> m_mix;
};

// Decodes the recording and appends its blocks to blocks; returns the
// damaged bytes in block and offset order. Throws CArchiveException for a
// file that is not sound, CRelmuthException for one libsndfile cannot
// read, CRecordingCancelled when cancelled.
std::vector<CDamagedByte> ReadRecording(const std::string& strPath,
                                        const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks,
                                        CDecodeProgress* pProgress = nullptr,
                                        std::vector<CBlockQuality>* pQuality = nullptr);
std::vector<CDamagedByte> ReadRecording(std::span<const std::uint8_t> file,
                                        const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks,
                                        CDecodeProgress* pProgress = nullptr,
                                        std::vector<CBlockQuality>* pQuality = nullptr);
std::vector<CDamagedByte> ReadRecording(CSoundFileReader& reader, const CRecordingOptions& options,
                                        std::vector<CTapeBlock>& blocks,
                                        CDecodeProgress* pProgress = nullptr,
                                        std::vector<CBlockQuality>* pQuality = nullptr);

// The default recording the writer makes: 44.1 kHz, 16-bit mono PCM WAV.
inline constexpr int kRecordingRate = 44100;

// Writes a WAV file of the time line that walk gives its sink (a tape
// image's own records, or LayOutBlocks of a list of blocks). walk is called
// twice, first to count the samples: a recording longer than WAV holds
// (4 GiB of data, about 13.5 hours at 44.1 kHz) throws CRelmuthException
// before anything is written.
void WriteRecording(const std::function<void(CTapeRecordSink&)>& walk, CByteSink& out,
                    int nSampleRate = kRecordingRate);
// The same for blocks, laid out as the KXM writer lays them.
void WriteRecording(const std::vector<CTapeBlock>& blocks, CByteSink& out,
                    int nSampleRate = kRecordingRate);
