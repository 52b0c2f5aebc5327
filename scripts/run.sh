#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and shows Relmuth at work with no
# PC-8801 at hand: the virtual PC-8801 (relmuth-pc88 --auto) plays the
# sample tape the build makes, and Relmuth on the other end of its line
# sends it Grebe and receives every block. With a display, Relmuth is the
# window program, built here too (press its send button; closing the window
# ends the run); otherwise it is relmuth-tape, which lists each block as it
# arrives.
# RELMUTH_FAST=1 runs the PC-8801 as fast as the host allows.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
relmuth_install_deps

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" --target relmuth-tape relmuth-pc88 sample_tape
tool=build/tools/relmuth-tape/relmuth-tape
pc88=build/tools/relmuth-pc88/relmuth-pc88
window=build/qt/relmuth
tape=build/sample.kxm
link=build/pc88.tty
received=build/received.kxm
screen=build/pc88-screen.txt

use_window=no
switched_off=no
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  # The window program is built where the project has it; its first build
  # takes a few minutes, so it is shown. Without it, relmuth-tape receives.
  echo "== Building the window program (a display is set)"
  cmake --build build -j "$(nproc)" --target relmuth || echo "(not built: relmuth-tape receives instead)"
  [ -x "$window" ] && use_window=yes
fi

speed=()
[ "${RELMUTH_FAST:-0}" = 1 ] && speed=(--fast)

echo "== The tape in the virtual PC-8801's deck: $tape (index, baud, bytes, type, name)"
"$tool" list "$tape"
blocks=$("$tool" list "$tape" | wc -l)

rm -f "$received" "$link"
"$pc88" --tape "$tape" --auto --link "$link" "${speed[@]}" < /dev/null > "$screen" 2> build/pc88-errors.txt &
machine=$!
trap 'kill "$machine" 2> /dev/null || true' EXIT
for _ in $(seq 100); do
  [ -L "$link" ] && break
  sleep 0.1
done
echo "== The PC-8801's RS-232C line is $link"

if [ "$use_window" = yes ]; then
  echo "== Relmuth's window: press the send button; the blocks appear as Grebe sends them"
  echo "   (after the last block the PC-8801 quits, and the status bar says the line went away)"
  "$window" --port "$link" || true
  # With the window closed nobody is left on the line: a PC-8801 still
  # waiting for Grebe or for its blocks to be taken is switched off.
  if kill -0 "$machine" 2> /dev/null; then
    echo "== The window closed before every block was transferred: the PC-8801 is switched off"
    kill "$machine" 2> /dev/null || true
    switched_off=yes
  fi
else
  echo "== relmuth-tape sends Grebe, then receives: one line per block as it arrives"
  "$tool" receive "$link" "$received" --send-loader --count "$blocks"
fi

status=0
wait "$machine" || status=$?
trap - EXIT
echo "== What the PC-8801 showed"
cat "$screen"
echo
if [ "$status" -ne 0 ] && [ "$switched_off" = no ]; then
  echo "== relmuth-pc88 ended with status $status:"
  cat build/pc88-errors.txt
  exit "$status"
fi
if [ "$use_window" = no ]; then
  echo "== $received as received, against the tape"
  "$tool" list "$received"
  if [ "$("$tool" text "$received")" = "$("$tool" text "$tape")" ]; then
    echo "Every block arrived exactly."
  else
    echo "The blocks differ from the tape's." >&2
    exit 1
  fi
fi
