// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/SendLoader.h"

#include <algorithm>
#include <string_view>

#include "serial/CommPort.h"
#include "session/Progress.h"

std::span<const std::uint8_t> LoaderBytesToSend(std::span<const std::uint8_t> text) {
    const std::string_view marker(kLoaderEndMarker);
    const auto found = std::search(text.begin(), text.end(), marker.begin(), marker.end());
    if (found == text.end())
        return {};
    return text.first(static_cast<std::size_t>(found - text.begin()) + marker.size());
}

int SendLoader(CCommPort& port, std::span<const std::uint8_t> text) {
    const auto bytes = LoaderBytesToSend(text);
    if (bytes.empty())
        return 0;
    const int nCount = static_cast<int>(bytes.size());
    port.Send(bytes.data(), nCount);
    return nCount;
}

int SendProgressPercent(int nTotal, int nPending) {
    return ProgressPercent(static_cast<std::int64_t>(nTotal) - nPending, nTotal);
}
