// SPDX-License-Identifier: GPL-3.0-or-later
// Sound files through libsndfile: reading any format it knows in chunks of
// float frames. Every failure throws a CRelmuthException with the user's
// message. (WAV files are written by WaveWriter.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

class CFile;

// A sound file open for reading: interleaved float frames, -1.0 to 1.0.
class CSoundFileReader {
  public:
    // Throws CArchiveException (bad format) for a file libsndfile cannot
    // read as sound or that has no usable sample rate.
    static std::unique_ptr<CSoundFileReader> OpenFile(const std::string& strPath);
    // The same over bytes in memory, which must outlive the reader.
    static std::unique_ptr<CSoundFileReader> OpenMemory(std::span<const std::uint8_t> bytes);
    // The same over a seekable file already open, which must outlive the
    // reader; read at its places, not reopened by its name.
    static std::unique_ptr<CSoundFileReader> OpenFile(CFile& file);
    ~CSoundFileReader();
    CSoundFileReader(const CSoundFileReader&) = delete;
    CSoundFileReader& operator=(const CSoundFileReader&) = delete;

    int GetChannels() const { return m_nChannels; }
    double GetSampleRate() const { return m_dRate; }
    // Frames in the file, or 0 when the format does not say.
    std::uint64_t GetFrames() const { return m_nFrames; }

    // Reads up to nFrames frames into pFrames (nFrames * channels floats);
    // returns the number read, 0 at the end.
    std::size_t Read(float* pFrames, std::size_t nFrames);

  private:
    struct Impl;
    explicit CSoundFileReader(std::unique_ptr<Impl> impl);
    void Check();

    std::unique_ptr<Impl> m_impl;
    int m_nChannels = 0;
    double m_dRate = 0;
    std::uint64_t m_nFrames = 0;
};
