// SPDX-License-Identifier: GPL-3.0-or-later
// What the tape commands do with a cassette recording: the decoding options
// --baud 600|1200 and --channel left|right|mix, progress on standard error
// when that is a terminal, and the list of bytes that did not decode.
#pragma once

#include "audio/RecordingFormats.h"
#include "tape/RelmuthDoc.h"
#include "tools/relmuth-tape/Commands.h"

// Takes the recording options out of args into options; false, with what
// is wrong in strError, for a bad value.
bool TakeRecordingOptions(Args& args, CRecordingOptions& options, std::string& strError);

// Shows "NN%" on standard error while a recording is decoded, when standard
// error is a terminal.
class CTerminalProgress final : public CDecodeProgress {
  public:
    CTerminalProgress();
    ~CTerminalProgress() override;
    bool OnDecodeProgress(double dFraction) override;

  private:
    bool m_bShow;
    int m_nPercent = -1;
};

// Lists the damaged bytes of the recording read on standard error;
// kExitIncomplete when there were any, else kExitOk.
int ReportRecordingDamage(const CRecordingReading& reading);

// Plays the time line of the KXM or T88 image IN (its own gaps) into the WAV
// file OUT. notAnImage (nothing reported, OUT untouched) when IN is readable
// but no such image, for the document to read as whatever it is: IN's
// bytes are then in image, since IN (a pipe, say) is read only once.
enum class ImageToRecording { done, failed, notAnImage };
ImageToRecording ConvertImageToRecording(const std::string& strIn, const std::string& strOut,
                                         ByteArray& image);
