// SPDX-License-Identifier: GPL-3.0-or-later
// The one place the program asks for a tape file's name: Open, and Save As
// (or Save of a tape that has no usable name yet). The dialog follows the
// tape file rules of tape/TapeFileName.h: their filter list, the default
// extension "kxm", and the flags of each caller.
#pragma once

#include <QStringList>

#include <string>

#include "res/Strings.h"

class QWidget;

// The filter list of the open or save dialog as the file dialog takes it:
// "DESCRIPTION (PATTERNS)".
QStringList TapeNameFilters(bool bOpenFileDialog);

// Runs the dialog with strFileName as the name it starts from. True when the
// user confirmed a name, which is then in strFileName (a full path).
bool PromptForTapeFileName(QWidget* parent, std::string& strFileName, res::StringId nTitle,
                           unsigned nFlags, bool bOpenFileDialog);
