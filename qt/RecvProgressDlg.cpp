// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/RecvProgressDlg.h"

#include <QCoreApplication>
#include <QEvent>

#include "qt/ViewEvents.h"
#include "session/Progress.h"

CRecvProgressDlg::CRecvProgressDlg(QWidget* parent, QObject* pView)
    : CProgressDlg(parent, res::IDD_RECV_PROGRESS, res::IDS_RECV_PROGRESS_TEXT), m_pView(pView) {}

void CRecvProgressDlg::SetProgress(int nReceived) {
    SetPos(ProgressPercent(nReceived, m_nTotal));
}

void CRecvProgressDlg::SetPercent(int nPercent) {
    SetPos(nPercent);
}

void CRecvProgressDlg::reject() {
    if (m_pView)
        QCoreApplication::postEvent(m_pView, new QEvent(WM_RECV_CANCEL));
}

void CRecvProgressDlg::changeEvent(QEvent* event) {
    // While a transfer runs the view disables the main frame, and Qt passes
    // that on to the frame's own windows, this one included. The dialog is
    // the user's only way to cancel, so it takes back what it did not ask
    // for; a disable aimed at the dialog itself (WA_ForceDisabled) stays.
    if (event->type() == QEvent::EnabledChange && !isEnabled() &&
        !testAttribute(Qt::WA_ForceDisabled))
        setEnabled(true);
    CProgressDlg::changeEvent(event);
}
