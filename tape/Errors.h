// SPDX-License-Identifier: GPL-3.0-or-later
// Errors of the tape document. Each carries the id of the message the user
// sees and, for failures of the system, the system's reason.
#pragma once

#include <stdexcept>
#include <string>

#include "res/Strings.h"

class CRelmuthException : public std::runtime_error {
  public:
    CRelmuthException(res::StringId message, std::string reason = {});

    res::StringId GetMessageId() const { return m_nMessageId; }
    const std::string& GetReason() const { return m_strReason; }

    // The message followed, when there is one, by the system's reason.
    std::string GetUserText() const;

  private:
    res::StringId m_nMessageId;
    std::string m_strReason;
};

// A tape image that cannot be read: it ends too early (generic) or is not
// laid out as the format requires (bad format).
class CArchiveException : public CRelmuthException {
  public:
    enum Cause { generic, badFormat };

    explicit CArchiveException(Cause cause);
    Cause GetCause() const { return m_cause; }

  private:
    Cause m_cause;
};

// A failure of the file itself: cannot open, read, write, flush or rename.
// The message is that of the operation that failed (open or save).
class CFileException : public CRelmuthException {
  public:
    CFileException(res::StringId message, int nErrno, const std::string& path);
    int GetErrno() const { return m_nErrno; }

  private:
    int m_nErrno;
};

// A reading that the user cancelled (through its progress); nothing changed.
class CRecordingCancelled : public CRelmuthException {
  public:
    CRecordingCancelled();
};

// A file with nothing in it that made a block (a recording without a
// sample, or none that decoded): opening it fails and leaves the tape as it
// was.
class CRecordingEmpty : public CRelmuthException {
  public:
    CRecordingEmpty();
};
