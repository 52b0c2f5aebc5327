// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/UiText.h"

namespace res {

QString Text(StringId id) {
    const std::string_view text = LoadString(id);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString StatusPrompt(StringId id) {
    const QString prompt = Text(id);
    return prompt.section(QLatin1Char('\n'), 0, 0);
}

QString ToolTip(StringId id) {
    const QString prompt = Text(id);
    const qsizetype lf = prompt.indexOf(QLatin1Char('\n'));
    return lf < 0 ? QString() : prompt.mid(lf + 1);
}

} // namespace res
