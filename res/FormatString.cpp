// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/FormatString.h"

namespace res {

std::string FormatString(std::string_view pattern, std::initializer_list<std::string> args) {
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool bPlace = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
                            pattern[i + 1] <= '9';
        const auto n = bPlace ? static_cast<std::size_t>(pattern[i + 1] - '1') : args.size();
        if (n < args.size()) {
            text += *(args.begin() + n);
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::string FormatString(StringId id, std::initializer_list<std::string> args) {
    return FormatString(LoadString(id), args);
}

} // namespace res
