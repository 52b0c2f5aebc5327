// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/SoundFile.h"

#if defined(_WIN32)
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <windows.h>

#include "res/WideText.h"
#endif
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tape/Archive.h"
#include "tape/Errors.h"
#include "tape/File.h"

namespace {

// A recording by its UTF-8 name; on Windows by its wide name, so that any
// name opens whatever the code page.
SNDFILE* OpenByName(const std::string& strPath, SF_INFO* pInfo) {
#if defined(_WIN32)
    return sf_wchar_open(res::WideFromUtf8(strPath).c_str(), SFM_READ, pInfo);
#else
    return sf_open(strPath.c_str(), SFM_READ, pInfo);
#endif
}

// The lowest sample rate that still carries the 2400 Hz tone cleanly.
constexpr int kMinSampleRate = 8000;

// Bytes in memory as a read-only file for libsndfile.
struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    sf_count_t pos = 0;
};

sf_count_t MemLength(void* user) {
    return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}

sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(f->bytes.size());
    sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? size : 0;
    if (offset > 0 && base > INT64_MAX - offset)
        return -1;
    const sf_count_t to = base + offset;
    if (to < 0)
        return -1;
    f->pos = to; // beyond the end reads nothing, as for a file
    return to;
}

sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    const auto size = static_cast<sf_count_t>(f->bytes.size());
    if (count <= 0 || f->pos >= size)
        return 0;
    const sf_count_t n = std::min(count, size - f->pos);
    std::memcpy(ptr, f->bytes.data() + f->pos, static_cast<std::size_t>(n));
    f->pos += n;
    return n;
}

sf_count_t MemWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t MemTell(void* user) {
    return static_cast<MemoryFile*>(user)->pos;
}

// A seekable open file for libsndfile, read at its places. A failure is
// kept for the caller: nothing may be thrown through libsndfile.
struct SeekableFile {
    CFile* file = nullptr;
    sf_count_t length = 0;
    sf_count_t pos = 0;
    int nErrno = 0;
};

sf_count_t FileLength(void* user) {
    return static_cast<SeekableFile*>(user)->length;
}

sf_count_t FileSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<SeekableFile*>(user);
    const sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->length : 0;
    if (offset > 0 && base > INT64_MAX - offset)
        return -1;
    const sf_count_t to = base + offset;
    if (to < 0)
        return -1;
    f->pos = to;
    return to;
}

sf_count_t FileRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<SeekableFile*>(user);
    if (count <= 0 || f->nErrno != 0)
        return 0;
    try {
        const std::size_t n = f->file->ReadAt(ptr, static_cast<std::size_t>(count),
                                              static_cast<std::uint64_t>(f->pos));
        f->pos += static_cast<sf_count_t>(n);
        return static_cast<sf_count_t>(n);
    } catch (const CFileException& e) {
        f->nErrno = e.GetErrno() != 0 ? e.GetErrno() : EIO;
        return 0;
    }
}

sf_count_t FileTell(void* user) {
    return static_cast<SeekableFile*>(user)->pos;
}

[[noreturn]] void BadFormat() {
    throw CArchiveException(CArchiveException::badFormat);
}

} // namespace

struct CSoundFileReader::Impl {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    MemoryFile memory;
    SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    SeekableFile open;
    SF_VIRTUAL_IO fileIo{FileLength, FileSeek, FileRead, MemWrite, FileTell};
    ~Impl() {
        if (file != nullptr)
            sf_close(file);
    }
};

CSoundFileReader::CSoundFileReader(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

CSoundFileReader::~CSoundFileReader() = default;

std::unique_ptr<CSoundFileReader> CSoundFileReader::OpenFile(const std::string& strPath) {
    auto impl = std::make_unique<Impl>();
    impl->file = OpenByName(strPath, &impl->info);
    if (impl->file == nullptr) {
        if (sf_error(nullptr) == SF_ERR_SYSTEM)
            throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, errno != 0 ? errno : EIO,
                                 strPath);
        BadFormat();
    }
    std::unique_ptr<CSoundFileReader> reader(new CSoundFileReader(std::move(impl)));
    reader->Check();
    return reader;
}

std::unique_ptr<CSoundFileReader>
CSoundFileReader::OpenMemory(std::span<const std::uint8_t> bytes) {
    auto impl = std::make_unique<Impl>();
    impl->memory.bytes = bytes;
    impl->file = sf_open_virtual(&impl->io, SFM_READ, &impl->info, &impl->memory);
    if (impl->file == nullptr)
        BadFormat();
    std::unique_ptr<CSoundFileReader> reader(new CSoundFileReader(std::move(impl)));
    reader->Check();
    return reader;
}

std::unique_ptr<CSoundFileReader> CSoundFileReader::OpenFile(CFile& file) {
    auto impl = std::make_unique<Impl>();
    impl->open.file = &file;
    impl->open.length = static_cast<sf_count_t>(file.GetLength());
    impl->file = sf_open_virtual(&impl->fileIo, SFM_READ, &impl->info, &impl->open);
    if (impl->open.nErrno != 0)
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, impl->open.nErrno,
                             file.GetFilePath());
    if (impl->file == nullptr)
        BadFormat();
    std::unique_ptr<CSoundFileReader> reader(new CSoundFileReader(std::move(impl)));
    reader->Check();
    return reader;
}

void CSoundFileReader::Check() {
    const SF_INFO& info = m_impl->info;
    if (info.channels < 1 || info.samplerate <= 0)
        BadFormat();
    if (info.samplerate < kMinSampleRate)
        throw CRelmuthException(res::IDS_RECORDING_RATE_TOO_LOW,
                                std::to_string(info.samplerate) + " Hz");
    m_nChannels = info.channels;
    m_dRate = info.samplerate;
    m_nFrames = info.frames > 0 && info.frames != SF_COUNT_MAX
                    ? static_cast<std::uint64_t>(info.frames)
                    : 0;
}

std::size_t CSoundFileReader::Read(float* pFrames, std::size_t nFrames) {
    const sf_count_t n = sf_readf_float(m_impl->file, pFrames, static_cast<sf_count_t>(nFrames));
    // A file that failed under libsndfile is not a recording that ended.
    if (m_impl->open.nErrno != 0)
        throw CFileException(res::AFX_IDP_FAILED_TO_OPEN_DOC, m_impl->open.nErrno,
                             m_impl->open.file->GetFilePath());
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}
