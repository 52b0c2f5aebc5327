// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting in tests: generous limits, because CI machines are loaded and a
// limit that is reached means a failure, never a slow success.
#pragma once

#include <chrono>
#include <thread>

inline constexpr std::chrono::seconds kPatience{10};

// Polls `done` until it holds or the patience runs out; returns its last answer.
template <class Pred> bool WaitFor(Pred done, std::chrono::milliseconds limit = kPatience) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
