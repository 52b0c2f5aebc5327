// SPDX-License-Identifier: GPL-3.0-or-later
// What the receive and send progress dialogs share: a line of text, a bar
// from 0 to 100 and the button "ちうし". The button, the Escape key and the
// window's close button all come to reject(), where each dialog decides
// what cancelling means.
#pragma once

#include <QDialog>

#include "res/Strings.h"

class QProgressBar;

class CProgressDlg : public QDialog {
    Q_OBJECT

  public:
    // The bar's position, 0 to 100.
    int GetPos() const;

  protected:
    CProgressDlg(QWidget* parent, res::StringId title, res::StringId text);

    // Sets the bar; values outside 0..100 are held at the nearer end.
    void SetPos(int nPercent);

  private:
    QProgressBar* m_progress = nullptr;
};
