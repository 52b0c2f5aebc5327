#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Formats every C++ file of ours with the project's .clang-format.
#
#   scripts/format.sh          rewrite the files in place
#   scripts/format.sh --check  change nothing; list the files that differ
#                              from the format or lack the licence line,
#                              and exit 1 when there is any
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: scripts/format.sh [--check]" >&2; exit 2 ;;
esac

clang_format=$(command -v clang-format || command -v clang-format-14 || true)
if [ -z "$clang_format" ]; then
  echo "format.sh: clang-format is missing (Debian package clang-format)" >&2
  exit 1
fi

# Every file of ours that git knows, or would add (generated files live in
# the build folders, which .gitignore leaves out).
mapfile -t sources < <(git ls-files --cached --others --exclude-standard -- \
  '*.cpp' '*.h' '*.asm' '*.sh' '*.cmake' '*CMakeLists.txt' '*.bas.in' '.ci/run' | sort -u)
cpp=()
for f in "${sources[@]}"; do
  [ -f "$f" ] || continue
  case "$f" in *.cpp|*.h) cpp+=("$f") ;; esac
done

if [ "$check" -eq 0 ]; then
  [ ${#cpp[@]} -eq 0 ] || "$clang_format" -i --style=file "${cpp[@]}"
  exit 0
fi

bad=0
for f in "${cpp[@]}"; do
  if ! "$clang_format" --style=file "$f" | cmp -s - "$f"; then
    echo "not formatted: $f"
    bad=1
  fi
done
# The licence line stands in the first two lines (after a #! line).
for f in "${sources[@]}"; do
  [ -f "$f" ] || continue
  if ! head -n 2 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later'; then
    echo "no licence line: $f"
    bad=1
  fi
done
if [ "$bad" -ne 0 ]; then
  echo "Run scripts/format.sh to format; add the SPDX line by hand." >&2
fi
exit "$bad"
