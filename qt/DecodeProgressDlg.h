// SPDX-License-Identifier: GPL-3.0-or-later
// The decode progress dialog: application-modal while a cassette recording
// is decoded into blocks. The decoding runs on the user-interface thread and
// reports after every chunk of the recording (CDecodeProgress); each report
// moves the bar and lets the event loop run, so that the window repaints and
// "ちうし" (or Escape, or the window's close button) can be pressed. The next
// report then returns false, which stops the decoding.
//
// A short recording is decoded before the dialog would be seen: it shows
// only once decoding has taken m_nShowAfterMs. The application keeps one and
// starts it for every open of a recording:
//
//     m_pDecodeDlg->Start();
//     reading.m_pProgress = m_pDecodeDlg.get();
//     const bool bOpened = m_doc.OnOpenDocument(strPathName);
//     m_pDecodeDlg->Finish();
//     if (!bOpened && m_pDecodeDlg->WasCancelled()) ...   // quietly, the old tape kept
#pragma once

#include <QElapsedTimer>

#include "audio/Recording.h"
#include "qt/ProgressDlg.h"

// How long a decoding runs before its dialog shows.
inline constexpr int kDecodeShowAfterMs = 400;

class CDecodeProgressDlg : public CProgressDlg, public CDecodeProgress {
    Q_OBJECT

  public:
    explicit CDecodeProgressDlg(QWidget* parent = nullptr);

    int m_nShowAfterMs = kDecodeShowAfterMs;

    // A decoding begins: the bar at 0, the clock started, no cancel.
    void Start();
    // It ended, whichever way: the dialog goes.
    void Finish();
    bool WasCancelled() const { return m_bCancelled; }

    // CDecodeProgress
    bool OnDecodeProgress(double dFraction) override;

    // Cancelling: the next report stops the decoding; the dialog stays until
    // Finish.
    void reject() override;

  private:
    QElapsedTimer m_clock;
    bool m_bCancelled = false;
};
