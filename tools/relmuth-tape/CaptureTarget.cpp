// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/relmuth-tape/CaptureTarget.h"

#include "audio/RecordingFormats.h"
#include "tape/AsciiCase.h"
#include "tape/File.h"
#include "tape/RelmuthDoc.h"
#include "tools/relmuth-tape/CliHost.h"

bool CheckCaptureTarget(const std::string& strOut, bool bExists) {
    if (IsRecordingName(strOut)) {
        if (!EndsWithIgnoringAsciiCase(FileNameOf(strOut), ".wav")) {
            ReportError(
                CRelmuthException(res::AFX_IDP_FAILED_TO_SAVE_DOC,
                                  std::string(res::LoadString(res::IDS_RECORDING_WAV_ONLY))));
            return false;
        }
        if (bExists) {
            PrintError(std::string(res::LoadString(res::IDS_RECORDING_NOT_OUT)) + " (" + strOut +
                       ")");
            return false;
        }
    }
    if (bExists) {
        // Everything a save asks of the file and its folder, without a byte
        // written: the writer that is not committed leaves the file as it is.
        try {
            CSafeFileWriter probe(strOut);
        } catch (const CRelmuthException& e) {
            ReportError(e);
            return false;
        }
    }
    return true;
}
