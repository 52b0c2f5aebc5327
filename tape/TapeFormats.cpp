// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/TapeFormats.h"

#include "tape/AsciiCase.h"
#include "tape/KxmFormat.h"
#include "tape/RawFormat.h"
#include "tape/T88Format.h"
#include "tape/TapeFileName.h"

namespace {

void ReadKxmRow(CArchive& ar, CTapeReading& reading) {
    ReadKxm(ar, reading.m_blocks, &reading.m_marks); // as a stream: never held beside the blocks
}

void WriteKxmRow(const std::vector<CTapeBlock>& blocks, const CDamageMarks& marks, CArchive& ar) {
    WriteKxm(blocks, ar, marks);
}

void ReadT88Row(CArchive& ar, CTapeReading& reading) {
    ReadT88(ar, reading.m_blocks);
}

void WriteT88Row(const std::vector<CTapeBlock>& blocks, const CDamageMarks&, CArchive& ar) {
    WriteT88(blocks, ar);
}

void ReadRawRow(CArchive& ar, CTapeReading& reading) {
    const ByteArray image = ar.ReadAll();
    ReadRaw(image, reading.m_blocks);
}

void WriteRawRow(const std::vector<CTapeBlock>& blocks, const CDamageMarks&, CArchive& ar) {
    WriteRaw(blocks, ar);
}

} // namespace

CTapeFormats::CTapeFormats(std::vector<CTapeFormatRow> rows) : m_rows(std::move(rows)) {}

const CTapeFormatRow& CTapeFormats::ForName(const std::string& strPathName) const {
    const std::string name = FileNameOf(strPathName);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        const std::string_view extension = std::string_view(name).substr(dot);
        for (const CTapeFormatRow& row : m_rows) {
            if (!row.strExtension.empty() && EqualsIgnoringAsciiCase(extension, row.strExtension))
                return row;
        }
    }
    return Default();
}

const CTapeFormatRow& CTapeFormats::ForArchive(const CArchive& ar) const {
    return ar.HasFile() ? ForName(ar.GetFileName()) : Default();
}

std::vector<CTapeFormatRow> TapeImageFormatRows() {
    return {
        {TapeFormat::kxm, ".kxm", &ReadKxmRow, &WriteKxmRow},
        {TapeFormat::raw, ".cmt", &ReadRawRow, &WriteRawRow},
        {TapeFormat::raw, ".cas", &ReadRawRow, &WriteRawRow},
        {TapeFormat::t88, ".t88", &ReadT88Row, &WriteT88Row},
    };
}

const CTapeFormats& TapeImageFormats() {
    static const CTapeFormats formats(TapeImageFormatRows());
    return formats;
}

bool IsRawImageName(const std::string& strPathName) {
    return TapeImageFormats().ForName(strPathName).kind == TapeFormat::raw;
}

bool IsT88Name(const std::string& strPathName) {
    return TapeImageFormats().ForName(strPathName).kind == TapeFormat::t88;
}
