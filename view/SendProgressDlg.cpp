// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/SendProgressDlg.h"

#include <QTimerEvent>

#include "serial/CommPort.h"
#include "view/SendLoader.h"

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
    const int nPending = m_pPort ? m_pPort->GetSendPending() : 0;
    SetPos(SendProgressPercent(m_nTotal, nPending));
    if (IsSendComplete(nPending))
        accept();
}

void CSendProgressDlg::reject() {
    if (m_pPort)
        m_pPort->ClearSendQueue();
    CProgressDlg::reject();
}
