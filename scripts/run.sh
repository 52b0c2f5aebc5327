#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and shows relmuth-tape at work on the
# sample tape the build makes: its block list, then one block as transfer text.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
relmuth_install_deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" --target relmuth-tape sample_tape
tool=build/tools/relmuth-tape/relmuth-tape

echo "== Blocks of build/sample.kxm (index, baud, bytes, type, name)"
"$tool" list build/sample.kxm
echo "== Block 0 as transfer text"
"$tool" text build/sample.kxm 0
echo "== The same tape as a raw image, read back"
"$tool" convert build/sample.kxm build/sample.cmt
"$tool" list build/sample.cmt
