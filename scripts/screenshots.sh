#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the README's pictures of the window program into docs/screenshots
# (or the folder given), off screen, with a Japanese font.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
relmuth_install_deps

out="${1:-docs/screenshots}"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" --target relmuth_screenshots
QT_QPA_PLATFORM=offscreen build/tests/gui/relmuth_screenshots "$out"
