#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang in build-fuzz and runs each for a bounded
# time (default 60 seconds each), one after the other.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     TARGET: kxm t88 raw receiver recording inspect
#
# Corpora grow in build-fuzz/corpus/TARGET across runs; a failing input is
# kept as build-fuzz/artifacts/TARGET-crash-* (or -timeout-, -oom-, -leak-).
# Inputs that once failed live in fuzz/regressions/TARGET and run first.
# Exits non-zero when any target finds a failure.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(kxm t88 raw receiver recording inspect)

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRELMUTH_BUILD_FUZZERS=ON -DRELMUTH_BUILD_TESTS=OFF -DRELMUTH_BUILD_BENCHMARKS=OFF \
  -DRELMUTH_BUILD_GUI=OFF >/dev/null
cmake --build "$build" --target fuzzers

"$build/fuzz/fuzz_seeds" "$build/seeds"
mkdir -p "$build/artifacts"

failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  inputs=("$build/corpus/$t" "$build/seeds/$t")
  [ -d "fuzz/regressions/$t" ] && inputs+=("fuzz/regressions/$t")
  dict=()
  [ -f "fuzz/$t.dict" ] && dict=(-dict="fuzz/$t.dict")
  # A recording's every sample goes through the decoder: a quarter of a
  # second of 8 kHz sound (a leader and some twenty bytes of tape) is enough
  # to reach all of it, and keeps the target above a thousand runs a second
  # also once its corpus has grown for half an hour.
  max_len=8192
  [ "$t" = recording ] && max_len=2048
  echo "== fuzz_$t for ${seconds} s"
  # -timeout: an input that takes this long counts as a hang.
  # -rss_limit_mb / -malloc_limit_mb: an input that makes us take this much
  # memory counts as unbounded allocation.
  if ! "$build/fuzz/fuzz_$t" "${inputs[@]}" \
      "${dict[@]}" -max_total_time="$seconds" -timeout=10 \
      -rss_limit_mb=2048 -malloc_limit_mb=512 -max_len="$max_len" -print_final_stats=1 \
      -artifact_prefix="$build/artifacts/$t-" 2>"$build/fuzz_$t.log"; then
    failed+=("$t")
    tail -n 60 "$build/fuzz_$t.log"
  fi
  grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$build/fuzz_$t.log" || true
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "FAILED: ${failed[*]} (inputs in $build/artifacts)"
  exit 1
fi
echo "no failures"
