// SPDX-License-Identifier: GPL-3.0-or-later
// The send progress dialog: modal while the loader text leaves the port.
// Every 100 ms it asks the port how much is still queued; when nothing is,
// the bar shows 100 and the dialog ends with Accepted. "ちうし" (or Escape,
// or closing the window) drops the port's send queue and ends it with
// Rejected; a chunk already on its way still goes out.
//
// The view runs it once the session has queued the text:
//
//     if (m_session.StartSendLoader() > 0) {
//         CSendProgressDlg dlg(this);
//         dlg.m_pSession = &m_session;
//         dlg.exec();
//     }
#pragma once

#include <QBasicTimer>

#include "qt/ProgressDlg.h"

class CTapeSession;

class CSendProgressDlg : public CProgressDlg {
    Q_OBJECT

  public:
    explicit CSendProgressDlg(QWidget* parent = nullptr);

    // The session whose send is watched (not owned); set before exec().
    CTapeSession* m_pSession = nullptr;

    // Cancelling: drops the port's send queue, then ends the dialog.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer m_timer;
};
