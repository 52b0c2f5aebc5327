// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/TapeFileDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

#include "res/UiText.h"
#include "tape/TapeFileName.h"

QStringList TapeNameFilters(bool bOpenFileDialog) {
    QStringList filters;
    for (const CFileFilter& filter : GetTapeFileFilters(bOpenFileDialog)) {
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
    const QStringList filters = TapeNameFilters(bOpenFileDialog);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.constFirst());
    dialog.setDefaultSuffix(QString::fromLatin1(kDefaultTapeExtension));
    // A name typed bare is saved in the format the user picked: "tape" under
    // the T88 entry is tape.t88, not a KXM image. The dialog names the entry
    // as it shows it, without the patterns it hides.
    const std::vector<CFileFilter> entries = GetTapeFileFilters(bOpenFileDialog);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, &filters, &entries](const QString& chosen) {
                         for (std::size_t i = 0; i < entries.size(); ++i) {
                             if (chosen == filters.at(static_cast<qsizetype>(i)) ||
                                 chosen == QString::fromStdString(entries[i].strDescription))
                                 dialog.setDefaultSuffix(
                                     QString::fromStdString(DefaultExtensionOf(entries[i])));
                         }
                     });
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
