// SPDX-License-Identifier: GPL-3.0-or-later
// The send progress dialog: modal while the loader text leaves the port.
// Every 100 ms it asks the port how much is still queued; when nothing is,
// the bar shows 100 and the dialog ends with Accepted. "ちうし" (or Escape,
// or closing the window) drops the port's send queue and ends it with
// Rejected; a chunk already on its way still goes out.
//
// The view runs it after queueing the text:
//
//     const int nTotal = SendLoader(m_commPort, GetLoaderResource());
//     if (nTotal > 0) {
//         CSendProgressDlg dlg(this);
//         dlg.m_pPort = &m_commPort;
//         dlg.m_nTotal = nTotal;
//         dlg.exec();
//     }
#pragma once

#include <QBasicTimer>

#include "view/ProgressDlg.h"

class CCommPort;

class CSendProgressDlg : public CProgressDlg {
    Q_OBJECT

  public:
    explicit CSendProgressDlg(QWidget* parent = nullptr);

    // The port whose send queue is watched (not owned), and how many bytes
    // were handed to it for this send. Both set before exec().
    CCommPort* m_pPort = nullptr;
    int m_nTotal = 0;

    // Cancelling: drops the port's send queue, then ends the dialog.
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QBasicTimer m_timer;
};
