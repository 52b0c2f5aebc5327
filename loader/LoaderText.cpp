// SPDX-License-Identifier: GPL-3.0-or-later
#include "loader/LoaderText.h"

#include <cstddef>

// Defined in the generated LoaderTextData.cpp.
namespace loader_generated {
extern const std::uint8_t kLoaderText[];
extern const std::size_t kLoaderTextSize;
} // namespace loader_generated

std::span<const std::uint8_t> GetLoaderResource() {
    return {loader_generated::kLoaderText, loader_generated::kLoaderTextSize};
}
