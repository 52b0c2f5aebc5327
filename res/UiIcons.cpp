// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/UiIcons.h"

#include <array>

namespace res {
namespace {

struct IconEntry {
    StringId id;
    const char* path;
};

constexpr std::array kCommandIcons{
    IconEntry{ID_FILE_NEW, ":/icons/new.svg"},
    IconEntry{ID_FILE_OPEN, ":/icons/open.svg"},
    IconEntry{ID_FILE_SAVE, ":/icons/save.svg"},
    IconEntry{ID_EDIT_CUT, ":/icons/cut.svg"},
    IconEntry{ID_EDIT_COPY, ":/icons/copy.svg"},
    IconEntry{ID_EDIT_PASTE, ":/icons/paste.svg"},
    IconEntry{ID_EDIT_UNDO, ":/icons/undo.svg"},
    IconEntry{ID_EDIT_REDO, ":/icons/redo.svg"},
    IconEntry{ID_MOVE_UP, ":/icons/move-up.svg"},
    IconEntry{ID_MOVE_DOWN, ":/icons/move-down.svg"},
    IconEntry{ID_SEND_PROGRAM, ":/icons/send-program.svg"},
    IconEntry{ID_APP_ABOUT, ":/icons/about.svg"},
};

} // namespace

QIcon AppIcon() {
    return QIcon(QString::fromLatin1(kAppIconPath));
}

QString CommandIconPath(StringId id) {
    for (const IconEntry& e : kCommandIcons)
        if (e.id == id)
            return QString::fromLatin1(e.path);
    return {};
}

QIcon CommandIcon(StringId id) {
    const QString path = CommandIconPath(id);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

} // namespace res
