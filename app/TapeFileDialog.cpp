// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/TapeFileDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "res/UiText.h"
#include "tape/TapeFileName.h"

QStringList TapeNameFilters() {
    QStringList filters;
    for (const CFileFilter& filter : GetTapeFileFilters()) {
        // "*.*" means every file here, dotted or not.
        QString patterns = QString::fromStdString(filter.strPattern);
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        if (patterns == QLatin1String("*.*"))
            patterns = QStringLiteral("*");
        filters << QStringLiteral("%1 (%2)").arg(QString::fromStdString(filter.strDescription),
                                                 patterns);
    }
    return filters;
}

bool PromptForTapeFileName(QWidget* parent, std::string& strFileName, res::StringId nTitle,
                           unsigned nFlags, bool bOpenFileDialog) {
    nFlags |= kTapeDialogFixedFlags;
    QFileDialog dialog(parent, res::Text(nTitle));
    dialog.setAcceptMode(bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode((nFlags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                         : QFileDialog::AnyFile);
    // The descriptions say what the patterns are; the patterns stay unseen.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (nFlags & OFN_OVERWRITEPROMPT) == 0);
    const QStringList filters = TapeNameFilters();
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.constFirst());
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultTapeExtension));
    if (!strFileName.empty()) {
        const QFileInfo start(QFile::decodeName(strFileName.c_str()));
        if (start.isAbsolute())
            dialog.setDirectory(start.absolutePath());
        dialog.selectFile(start.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    strFileName = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
    return true;
}
