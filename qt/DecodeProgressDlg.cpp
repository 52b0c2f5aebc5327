// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/DecodeProgressDlg.h"

#include <QCoreApplication>

#include <cmath>

CDecodeProgressDlg::CDecodeProgressDlg(QWidget* parent)
    : CProgressDlg(parent, res::IDD_DECODE_PROGRESS, res::IDS_DECODE_PROGRESS_TEXT) {
    setWindowModality(Qt::ApplicationModal);
}

void CDecodeProgressDlg::Start() {
    m_bCancelled = false;
    SetPos(0);
    m_clock.start();
}

void CDecodeProgressDlg::Finish() {
    hide();
}

bool CDecodeProgressDlg::OnDecodeProgress(double dFraction) {
    if (!isVisible() && !m_bCancelled && m_clock.elapsed() >= m_nShowAfterMs)
        show();
    SetPos(static_cast<int>(std::floor(dFraction * 100)));
    // The windows repaint and the user's cancel comes in here. Until the
    // dialog shows, and with it blocks the main window, the user's input
    // waits: no command may run in the middle of an open.
    QCoreApplication::processEvents(isVisible() ? QEventLoop::AllEvents
                                                : QEventLoop::ExcludeUserInputEvents);
    return !m_bCancelled;
}

void CDecodeProgressDlg::reject() {
    m_bCancelled = true;
}
