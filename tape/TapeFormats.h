// SPDX-License-Identifier: GPL-3.0-or-later
// The tape file formats as one table. A row names an extension and how a
// file of that kind is read and written; the document asks the table for
// the row of a file's name and calls it, and a further format is a further
// row. This folder holds the rows of the tape images (KXM, T88, raw);
// recordings add theirs from audio/ (RecordingFormats.h).
//
// A reading goes into a CTapeReading beside the tape, which the document
// takes only once the whole file has been read: a failed or cancelled
// reading leaves the tape as it was. What a reading is told (progress, and
// for recordings the decoding options) and what it reports beside the
// blocks (the damage of a recording) travel with it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tape/Archive.h"
#include "tape/BlockNotes.h"
#include "tape/DamageMarks.h"
#include "tape/TapeBlock.h"

// The kinds of tape file, as far as a user is concerned (what a save in it
// keeps, whether it is an original to leave alone).
enum class TapeFormat { kxm, t88, raw, recording };

// Told how far a reading has got; returning false cancels it.
class CDecodeProgress {
  public:
    virtual ~CDecodeProgress() = default;
    // dFraction from 0 to 1, of the file's frames (0 until the end where
    // the format does not say how many there are).
    virtual bool OnDecodeProgress(double dFraction) = 0;
};

// One reading of a tape file.
class CTapeReading {
  public:
    CTapeReading() = default;
    virtual ~CTapeReading() = default;
    CTapeReading(const CTapeReading&) = delete;
    CTapeReading& operator=(const CTapeReading&) = delete;

    std::vector<CTapeBlock> m_blocks; // the tape read, first block first
    CDamageMarks m_marks;             // the marks of its damaged bytes
    std::vector<CBlockNote> m_notes;  // block for block (fewer: empty notes for the rest)
    CDecodeProgress* m_pProgress = nullptr;
};

struct CTapeFormatRow {
    TapeFormat kind;
    std::string_view strExtension; // with its dot, matched in any letter case
    // Reads the whole file into the reading; throws CRelmuthException.
    void (*pRead)(CArchive& ar, CTapeReading& reading);
    // Writes the tape with its marks; throws CRelmuthException.
    void (*pWrite)(const std::vector<CTapeBlock>& blocks, const CDamageMarks& marks, CArchive& ar);
    // A file with no bytes at all is an empty tape; where not, it fails to
    // open (CRecordingEmpty) and leaves the tape as it was.
    bool bEmptyFileIsTape = true;
};

class CTapeFormats {
  public:
    // The first row is the default: it takes every name that no row's
    // extension ends, and an archive with no file behind it.
    explicit CTapeFormats(std::vector<CTapeFormatRow> rows);

    const CTapeFormatRow& ForName(const std::string& strPathName) const;
    const CTapeFormatRow& ForArchive(const CArchive& ar) const;
    const CTapeFormatRow& Default() const { return m_rows.front(); }
    std::span<const CTapeFormatRow> Rows() const { return m_rows; }

  private:
    std::vector<CTapeFormatRow> m_rows;
};

// The rows of the tape images: KXM (the default), T88, raw (.cmt, .cas).
std::vector<CTapeFormatRow> TapeImageFormatRows();
// A table of those rows alone.
const CTapeFormats& TapeImageFormats();

// Whether a file of this name is a raw cassette image (".CMT", ".CAS").
bool IsRawImageName(const std::string& strPathName);
bool IsT88Name(const std::string& strPathName);
