// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/RecordingFormats.h"

#include "audio/RecordingMarks.h"
#include "audio/SoundFile.h"
#include "tape/AsciiCase.h"
#include "tape/TapeFileName.h"

namespace {

void ReadRecordingRow(CArchive& ar, CTapeReading& reading) {
    // A plain reading decodes with the default options and keeps the
    // damage only as marks.
    auto* pRecording = dynamic_cast<CRecordingReading*>(&reading);
    const CRecordingOptions options =
        pRecording != nullptr ? pRecording->m_options : CRecordingOptions{};
    // libsndfile reads a file that can seek through the descriptor already
    // open, seeking as it likes; a pipe or a FIFO, read once in order, it
    // reads from memory.
    std::vector<CDamagedByte> damage;
    std::vector<CBlockQuality> quality;
    std::vector<CBlockQuality>* pQuality =
        pRecording != nullptr ? &pRecording->m_quality : &quality;
    const auto* pFile = dynamic_cast<const CFileArchive*>(&ar);
    if (pFile != nullptr && pFile->GetFile().IsSeekable()) {
        const auto reader = CSoundFileReader::OpenFile(pFile->GetFile());
        damage = ReadRecording(*reader, options, reading.m_blocks, reading.m_pProgress, pQuality);
    } else {
        const ByteArray bytes = ar.ReadAll();
        damage = ReadRecording(bytes, options, reading.m_blocks, reading.m_pProgress, pQuality);
    }
    if (reading.m_blocks.empty())
        throw CRecordingEmpty();
    reading.m_marks = MarksFromDamage(damage);
    // The document keeps each block's confidence with it.
    reading.m_notes.clear();
    for (const CBlockQuality& q : *pQuality)
        reading.m_notes.push_back(CBlockNote{q.confidence, nullptr});
    if (pRecording != nullptr)
        pRecording->m_damage = std::move(damage);
}

void WriteWaveRow(const std::vector<CTapeBlock>& blocks, const CDamageMarks&, CArchive& ar) {
    WriteRecording(blocks, ar);
}

// FLAC, OGG, AIFF and MP3 are read only: a WAV under such a name would be a
// file that is not what its name says.
void RefuseToWrite(const std::vector<CTapeBlock>&, const CDamageMarks&, CArchive&) {
    throw CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC,
                            std::string(res::LoadString(res::IDS_RECORDING_WAV_ONLY)));
}

} // namespace

std::vector<CTapeFormatRow> RecordingFormatRows() {
    std::vector<CTapeFormatRow> rows;
    rows.push_back({TapeFormat::recording, ".wav", &ReadRecordingRow, &WriteWaveRow, false});
    for (const std::string_view extension : {".flac", ".ogg", ".aif", ".aiff", ".mp3"})
        rows.push_back(
            {TapeFormat::recording, extension, &ReadRecordingRow, &RefuseToWrite, false});
    return rows;
}

const CTapeFormats& TapeFormats() {
    static const CTapeFormats formats = [] {
        std::vector<CTapeFormatRow> rows = TapeImageFormatRows();
        for (const CTapeFormatRow& row : RecordingFormatRows())
            rows.push_back(row);
        return CTapeFormats(std::move(rows));
    }();
    return formats;
}

bool IsRecordingName(const std::string& strPathName) {
    return TapeFormats().ForName(strPathName).kind == TapeFormat::recording;
}
