// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/CommSettingsDlg.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPortInfo>

#include "res/UiText.h"
#include "serial/CommPort.h"
#include "serial/PortErrorText.h"
#include "serial/PortNames.h"

namespace {

// At least enough for "COM1" and a short device name; the box grows to the
// longest entry.
constexpr int kPortListVisibleChars = 12;

QString FromStd(const std::string& s) {
    return QString::fromStdString(s);
}

std::vector<CSerialDeviceInfo> PresentSerialDevices() {
    std::vector<CSerialDeviceInfo> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.push_back({info.portName().toStdString(), info.systemLocation().toStdString(),
                           info.description().toStdString()});
    return devices;
}

} // namespace

CCommSettingsDlg::CCommSettingsDlg(QWidget* parent, bool bOfferNoPort)
    : QDialog(parent), m_bOfferNoPort(bOfferNoPort),
      m_ports(CurrentPortEntries(PresentSerialDevices())) {
    setWindowTitle(res::Text(res::IDD_COMM_SETTINGS));
    createControls();
    showChoice();
}

void CCommSettingsDlg::createControls() {
    m_portList = new QComboBox;
    // A device path may be typed too (a link such as relmuth-pc88 --link
    // makes); a typed text is no new entry.
    m_portList->setEditable(true);
    m_portList->setInsertPolicy(QComboBox::NoInsert);
    int nLongest = kPortListVisibleChars;
    for (const CPortEntry& entry : m_ports) {
        nLongest = std::max(nLongest, static_cast<int>(FromStd(entry.strLabel).size()));
        m_portList->addItem(FromStd(entry.strLabel));
        // Where the entry leads, for the long names the list cuts short.
        m_portList->setItemData(m_portList->count() - 1,
                                FromStd(PortDevicePathFromName(entry.strName)), Qt::ToolTipRole);
    }
    m_portList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_portList->setMinimumContentsLength(nLongest);
    m_portList->view()->setMinimumWidth(m_portList->view()->sizeHintForColumn(0) +
                                        m_portList->view()->frameWidth() * 2);

    m_baudList = new QComboBox;
    for (int i = 0; i < kBaudListSize; ++i)
        m_baudList->addItem(QString::number(BaudRateFromIndex(i)));

    auto* portLabel = new QLabel(res::Text(res::IDS_COMM_PORT_LABEL));
    portLabel->setBuddy(m_portList);
    auto* baudLabel = new QLabel(res::Text(res::IDS_COMM_BAUD_LABEL));
    baudLabel->setBuddy(m_baudList);

    auto* okButton = new QPushButton(res::Text(res::IDS_BUTTON_OK));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    auto* cancelButton = new QPushButton(res::Text(res::IDS_BUTTON_CANCEL));
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    QPushButton* noPortButton = nullptr;
    if (m_bOfferNoPort) {
        noPortButton = new QPushButton(res::Text(res::IDS_BUTTON_NO_PORT));
        connect(noPortButton, &QPushButton::clicked, this, [this] { done(kContinueWithoutPort); });
    }

    auto* layout = new QGridLayout(this);
    layout->addWidget(portLabel, 0, 0);
    layout->addWidget(m_portList, 1, 0, Qt::AlignTop);
    layout->addWidget(baudLabel, 0, 1);
    layout->addWidget(m_baudList, 1, 1, Qt::AlignTop);
    layout->addWidget(okButton, 0, 2);
    layout->addWidget(cancelButton, 1, 2, Qt::AlignTop);
    if (noPortButton != nullptr)
        layout->addWidget(noPortButton, 2, 2, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CCommSettingsDlg::showChoice() {
    m_portList->setCurrentIndex(m_nPortIndex);
    m_baudList->setCurrentIndex(m_nBaudIndex);
}

void CCommSettingsDlg::showEvent(QShowEvent* event) {
    showChoice();
    QDialog::showEvent(event);
}

void CCommSettingsDlg::accept() {
    CPortChoice choice =
        ChoosePort(m_ports, m_portList->currentIndex(), m_portList->currentText().toStdString());
    m_nPortIndex = choice.nIndex;
    m_strTyped = std::move(choice.strTyped);
    m_nBaudIndex = m_baudList->currentIndex();
    QDialog::accept();
}

std::string CCommSettingsDlg::GetPortName() const {
    if (!m_strTyped.empty())
        return m_strTyped;
    if (m_nPortIndex < 0 || m_nPortIndex >= static_cast<int>(m_ports.size()))
        return m_ports.front().strName;
    return m_ports[static_cast<std::size_t>(m_nPortIndex)].strName;
}

std::string CCommSettingsDlg::GetDevicePath() const {
    return PortDevicePathFromName(GetPortName());
}

unsigned CCommSettingsDlg::GetBaudFlag() const {
    return BaudFlagFromIndex(m_nBaudIndex);
}

void ShowPortUnusableMessage(QWidget* parent, const std::string& portName,
                             const CCommError& error) {
    QMessageBox box(QMessageBox::Warning, res::Text(res::AFX_IDS_APP_TITLE),
                    res::Text(res::IDS_PORT_UNUSABLE), QMessageBox::Ok, parent);
    box.setInformativeText(FromStd(PortOpenErrorDetail(portName, error)));
    box.exec();
}
