// SPDX-License-Identifier: GPL-3.0-or-later
// The receive progress dialog: shown, modeless, while the body of a transfer
// arrives. Its bar fills as the data comes; "ちうし" (or Escape, or closing
// the window) posts WM_RECV_CANCEL to the view and leaves the dialog open:
// the view decides, and closes it through its receiver.
//
// The view opens it when a transfer's length line is accepted and deletes it
// when the transfer ends:
//
//     m_pRecvDlg = std::make_unique<CRecvProgressDlg>(this, this);
//     m_pRecvDlg->m_nTotal = nTotal;
//     m_pRecvDlg->show();
//     window()->setEnabled(false);   // the dialog stays usable, see changeEvent
//     ...
//     m_pRecvDlg->SetProgress(nReceived);   // or SetPercent(nPercent)
//     ...
//     window()->setEnabled(true);
//     m_pRecvDlg.reset();
#pragma once

#include <QPointer>

#include "qt/ProgressDlg.h"

class CRecvProgressDlg : public CProgressDlg {
    Q_OBJECT

  public:
    // `parent` owns the window (the view); `pView` hears of a cancel.
    CRecvProgressDlg(QWidget* parent, QObject* pView);

    // The byte count that fills the bar: the announced length.
    int m_nTotal = 0;

    // nReceived x 100 / m_nTotal, truncated, held within 0..100; a total of
    // 0 shows a full bar.
    void SetProgress(int nReceived);
    // For a caller that has the percentage already.
    void SetPercent(int nPercent);

    // Cancelling: posts WM_RECV_CANCEL to the view; the dialog stays.
    void reject() override;

  protected:
    void changeEvent(QEvent* event) override;

  private:
    QPointer<QObject> m_pView;
};
