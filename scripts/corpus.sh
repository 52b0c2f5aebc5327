#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the decoder corpus program in a Release tree of its own and runs it:
# a seeded corpus of spoiled recordings, per class of spoiling, counted as
# decoded exactly, reported, or silently wrong, with times real time.
#
#   bash scripts/corpus.sh [TRIES] [CLASS...]     (TRIES per class, default 12)
#
# The recordings are made in memory by our writer and the tests' own
# generator; the lossy classes (MP3, Ogg Vorbis) go through libsndfile.
# The exit status is 1 when any try was silently wrong.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${RELMUTH_CORPUS_BUILD:-build-bench}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRELMUTH_BUILD_TESTS=OFF \
        -DRELMUTH_BUILD_GUI=OFF >/dev/null
fi
cmake --build "$build" --target audio_corpus >/dev/null
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) processors, load $(cut -d' ' -f1 /proc/loadavg)"
exec "$build/bench/audio/audio_corpus" "$@"
