// SPDX-License-Identifier: GPL-3.0-or-later
// The About box: the program's icon, "Relmuth Ver. " with the version this
// build carries, the maker's notice and OK. The application object opens it
// modally:
//
//     CAboutDlg aboutDlg(mainWindow);
//     aboutDlg.exec();
#pragma once

#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // The version line as shown: "Relmuth Ver. 1, 0, 2".
    QString GetVersionLine() const;

  private:
    QLabel* m_versionLine = nullptr;
};
