// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/SendProgressDlg.h"

#include <QTimerEvent>

#include "session/SendLoader.h"
#include "session/TapeSession.h"

CSendProgressDlg::CSendProgressDlg(QWidget* parent)
    : CProgressDlg(parent, res::IDD_SEND_PROGRESS, res::IDS_SEND_PROGRESS_TEXT) {
    setModal(true);
}

void CSendProgressDlg::showEvent(QShowEvent* event) {
    m_timer.start(kSendPollMilliseconds, this);
    CProgressDlg::showEvent(event);
}

void CSendProgressDlg::hideEvent(QHideEvent* event) {
    m_timer.stop();
    CProgressDlg::hideEvent(event);
}

void CSendProgressDlg::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer.timerId()) {
        CProgressDlg::timerEvent(event);
        return;
    }
    if (m_pSession == nullptr) {
        accept();
        return;
    }
    const CTapeSession::CSendProgress progress = m_pSession->GetSendProgress();
    SetPos(progress.nPercent);
    if (progress.bComplete)
        accept();
    else if (progress.bLinkLost)
        reject(); // the rest would never go
}

void CSendProgressDlg::reject() {
    if (m_pSession != nullptr)
        m_pSession->CancelSend();
    CProgressDlg::reject();
}
