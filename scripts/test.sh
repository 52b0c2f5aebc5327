#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds everything and runs every test: once in a
# plain build, once under AddressSanitizer and UndefinedBehaviorSanitizer,
# and the Windows build's tests under wine.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
relmuth_install_deps

# An unformatted file or one without its licence line fails at once, with the list.
bash scripts/format.sh --check

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$jobs"

ctest --test-dir build --output-on-failure -j "$jobs"

# The window program's shell only shows and forwards; what it decides is the
# session's, whose tests run here. Leaving Qt out keeps the whole command
# within its time on two cores.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DRELMUTH_SANITIZE=ON \
      -DRELMUTH_BUILD_BENCHMARKS=OFF -DRELMUTH_BUILD_GUI=OFF
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The Windows build: cross-built, its tests and a whole capture under wine,
# against the plain build's relmuth-tape and relmuth-pc88.
bash scripts/test-windows.sh build
