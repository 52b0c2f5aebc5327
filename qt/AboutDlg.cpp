// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/AboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "res/UiIcons.h"
#include "res/UiText.h"
#include "res/Version.h"

namespace {

constexpr int kIconSize = 32;

} // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(res::Text(res::IDD_ABOUTBOX));

    auto* icon = new QLabel;
    icon->setPixmap(res::AppIcon().pixmap(QSize(kIconSize, kIconSize), devicePixelRatio()));

    m_versionLine =
        new QLabel(res::Text(res::IDS_ABOUT_VERSION) + QString::fromLatin1(res::kFileVersion));
    auto* notice = new QLabel(res::Text(res::IDS_ABOUT_NOTICE));

    auto* okButton = new QPushButton(res::Text(res::IDS_BUTTON_OK));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(m_versionLine, 0, 1);
    layout->addWidget(notice, 1, 1);
    layout->addWidget(okButton, 0, 2, Qt::AlignTop);
    layout->setHorizontalSpacing(layout->horizontalSpacing() * 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CAboutDlg::GetVersionLine() const {
    return m_versionLine->text();
}
