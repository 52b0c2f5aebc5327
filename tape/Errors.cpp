// SPDX-License-Identifier: GPL-3.0-or-later
#include "tape/Errors.h"

#include "res/SystemReasons.h"

CRelmuthException::CRelmuthException(res::StringId message, std::string reason)
    : std::runtime_error(std::string(res::LoadString(message))), m_nMessageId(message),
      m_strReason(std::move(reason)) {}

std::string CRelmuthException::GetUserText() const {
    std::string text(res::LoadString(m_nMessageId));
    if (!m_strReason.empty())
        text += "\n" + m_strReason;
    return text;
}

CArchiveException::CArchiveException(Cause cause)
    : CRelmuthException(cause == badFormat ? res::AFX_IDP_FAILED_INVALID_FORMAT
                                           : res::AFX_IDP_FAILED_TO_OPEN_DOC),
      m_cause(cause) {}

CFileException::CFileException(res::StringId message, int nErrno, const std::string& path)
    : CRelmuthException(message, path + ": " + res::ErrnoReasonText(nErrno)), m_nErrno(nErrno) {}

CRecordingCancelled::CRecordingCancelled() : CRelmuthException(res::IDS_RECORDING_CANCELLED) {}

CRecordingEmpty::CRecordingEmpty()
    : CRelmuthException(res::AFX_IDP_FAILED_TO_OPEN_DOC,
                        std::string(res::LoadString(res::IDS_RECORDING_NO_BLOCKS))) {}
