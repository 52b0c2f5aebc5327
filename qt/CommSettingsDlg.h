// SPDX-License-Identifier: GPL-3.0-or-later
// The communication settings dialog: the user picks the port and the speed
// the program talks to the PC-8801 with. Every new dialog starts from "COM1"
// and "9600"; nothing of a choice is kept. Beyond COM1 to COM4 the port list
// offers the serial devices present on this machine (see serial/PortList.h).
//
// The view runs it until the session opens the chosen port:
//
//     for (;;) {
//         CCommSettingsDlg dlg(this);
//         if (dlg.exec() != QDialog::Accepted)
//             ... close the program ...
//         if (m_session.OpenPort(dlg.GetDevicePath(), dlg.GetBaudFlag()))
//             break;
//         ShowPortUnusableMessage(this, dlg.GetPortName(), m_session.GetOpenError());
//     }
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "serial/CommSettings.h"
#include "serial/PortList.h"

class QComboBox;
struct CCommError;

class CCommSettingsDlg : public QDialog {
    Q_OBJECT

  public:
    // What exec() returns for "ポートなしで続ける", offered when bOfferNoPort.
    static constexpr int kContinueWithoutPort = 2;

    explicit CCommSettingsDlg(QWidget* parent = nullptr, bool bOfferNoPort = false);

    // The selected entries of the two lists: the dialog shows them when it
    // opens, and OK reads the user's choice back into them.
    int m_nPortIndex = kDefaultPortIndex;
    int m_nBaudIndex = kDefaultBaudIndex;

    // The chosen port as the user knows it ("COM1", "/dev/ttyUSB0", or a
    // path typed into the box), the device `CCommPort::Open` is given for
    // it, and the chosen speed flag.
    std::string GetPortName() const;
    std::string GetDevicePath() const;
    unsigned GetBaudFlag() const;

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void createControls();
    void showChoice();

    bool m_bOfferNoPort;
    std::string m_strTyped; // the box's text on OK, when it is none of the entries
    std::vector<CPortEntry> m_ports;
    QComboBox* m_portList = nullptr;
    QComboBox* m_baudList = nullptr;
};

// The message after a failed open: "指定されたポートは使えまへんがな(;_;)" with the
// application's title and an OK button, the port and the system's reason
// below it, and for a refused permission the hint to join the dialout group.
// Waits for OK.
void ShowPortUnusableMessage(QWidget* parent, const std::string& portName, const CCommError& error);
