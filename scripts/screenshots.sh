#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the README's pictures of the window programs into docs/screenshots
# (or the folder given), off screen, with a Japanese font: the Qt program's,
# and relmuth.exe's under wine on a virtual display (windows-*.png).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
source scripts/deps.sh
source scripts/wine-desktop.sh
relmuth_install_deps

out=$(realpath -m "${1:-docs/screenshots}")
mkdir -p "$out"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" --target relmuth_screenshots relmuth-tape sample_tape
QT_QPA_PLATFORM=offscreen build/tests/gui/relmuth_screenshots "$out"

# relmuth.exe: the settings dialog of a bare start, the main window with
# the sample tape, and the receive dialog while the start of a transfer
# has come in on COM8, whose far end is tests/windows/com_peer.py.
dist=$(bash scripts/build-windows.sh --tests | tail -3 | sed -n 1p)
work=$(mktemp -d "${TMPDIR:-/tmp}/relmuth-pictures.XXXXXX")
export WINEPREFIX="$work/wine" WINEARCH=win64 WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
peer=""
relmuth_xvfb=""
cleanup() {
  [ -n "$peer" ] && kill "$peer" 2>/dev/null || true
  wineserver -k 2>/dev/null || true
  [ -n "$relmuth_xvfb" ] && kill "$relmuth_xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
wineboot -i >/dev/null 2>&1
relmuth_wine_desktop "$work"
cp build/sample.kxm "$work/sample.kxm"
# The header and the first two data lines of the first block.
build/tools/relmuth-tape/relmuth-tape text build/sample.kxm 0 | head -4 >"$work/partial.txt"
mkfifo "$work/peer.in"
python3 tests/windows/com_peer.py "$WINEPREFIX/dosdevices" com8 <"$work/peer.in" >"$work/peer.out" &
peer=$!
exec 3>"$work/peer.in"
for _ in $(seq 50); do grep -q READY "$work/peer.out" 2>/dev/null && break; sleep 0.1; done
win() { winepath -w "$1" 2>/dev/null; }
timeout 120 wine build-windows/tests/windows/win_gui_screenshots.exe "$(win "$repo/$dist/relmuth.exe")" \
  "$(win "$work/sample.kxm")" 8 "$(win "$out")" "$(win "$work/signal")" &
shots=$!
for _ in $(seq 600); do [ -e "$work/signal" ] && break; sleep 0.1; done
echo "SEND $work/partial.txt" >&3
status=0
wait "$shots" || status=$?
exec 3>&-
[ "$status" -eq 0 ] || { echo "relmuth.exe's pictures failed" >&2; exit 1; }
for f in windows-settings-dialog.png windows-main-window.png windows-receive-dialog.png; do
  echo "$out/$f"
done
