#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Peak memory of each tape operation on the 64 MiB benchmark tape, one
# process per operation (a process's peak only grows).
#
#   bench/tape/peak_memory.sh [BUILD_DIR]     default build-bench
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-bench}
tool="$build/bench/tape/tape_memory"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$tool" make "$work/tape.kxm" >/dev/null
"$tool" make "$work/tape.cas" >/dev/null
"$tool" make "$work/tape.t88" >/dev/null

"$tool" open "$work/tape.cas" | sed 's/^open      /open-raw  /'
"$tool" open "$work/tape.kxm" | sed 's/^open      /open-kxm  /'
"$tool" open "$work/tape.t88" | sed 's/^open      /open-t88  /'
"$tool" save "$work/out.kxm" | sed 's/^save      /save-kxm  /'
"$tool" save "$work/out.cas" | sed 's/^save      /save-raw  /'
"$tool" read-kxm "$work/tape.kxm"
"$tool" read-raw "$work/tape.cas"
"$tool" write-kxm
"$tool" write-raw
"$tool" receive
