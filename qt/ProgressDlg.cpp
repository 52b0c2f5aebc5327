// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/ProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "res/UiText.h"

namespace {

constexpr int kBarMinimumWidth = 160;

} // namespace

CProgressDlg::CProgressDlg(QWidget* parent, res::StringId title, res::StringId text)
    : QDialog(parent) {
    setWindowTitle(res::Text(title));

    m_progress = new QProgressBar;
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setMinimumWidth(kBarMinimumWidth);

    auto* stopButton = new QPushButton(res::Text(res::IDS_BUTTON_STOP));
    connect(stopButton, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(res::Text(text)), 0, Qt::AlignHCenter);
    layout->addWidget(m_progress);
    layout->addWidget(stopButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CProgressDlg::GetPos() const {
    return m_progress->value();
}

void CProgressDlg::SetPos(int nPercent) {
    m_progress->setValue(std::clamp(nPercent, 0, 100));
}
