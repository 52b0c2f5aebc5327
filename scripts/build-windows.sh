#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds Relmuth for 64-bit Windows with Debian's MinGW-w64 and leaves
# in build-windows/dist/: the folder relmuth-VERSION-win64/ (relmuth.exe,
# relmuth-tape.exe, LICENSE.txt, README.txt), its zip, and the installer
# relmuth-VERSION-setup.exe made by NSIS. Installs what is missing first.
#
#   bash scripts/build-windows.sh [--tests]    --tests: the Windows tests too
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

with_tests=OFF
[ "${1:-}" = "--tests" ] && with_tests=ON

# Only what the cross-build needs: no Qt, no libraries for Linux.
relmuth_install_packages cmake ninja-build g++ pkg-config pasmo "${RELMUTH_WINDOWS_PACKAGES[@]}"

build=build-windows
prefix=$(bash scripts/windows-libs.sh "$build")
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DRELMUTH_WINDOWS_PREFIX="$prefix" -DRELMUTH_BUILD_TESTS="$with_tests" -DRELMUTH_BUILD_GUI=ON \
  "${launcher[@]}" >/dev/null
targets=(relmuth-tape relmuth)
programs=("$build/tools/relmuth-tape/relmuth-tape.exe" "$build/win32/relmuth.exe")
[ "$with_tests" = ON ] && targets+=(relmuth_windows_tests)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# Every DLL the program imports must be one Windows has itself.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|version|shlwapi|msvcrt|ws2_32|ole32|oleaut32|uxtheme|imm32|winmm|api-ms-win-.*)\.dll$'
for exe in "${programs[@]}"; do
  bad=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' |
        tr 'A-Z' 'a-z' | grep -Ev "$system_dlls" || true)
  if [ -n "$bad" ]; then
    echo "$exe imports DLLs that Windows does not have: $bad" >&2
    exit 1
  fi
done

version=$(sed -n 's/.*kVersionDotted = "\([0-9.]*\)".*/\1/p' res/Version.h)
name="relmuth-$version-win64"
dist="$build/dist/$name"
setup="$build/dist/relmuth-$version-setup.exe"
rm -rf "$dist" "$build/dist/$name.zip" "$setup"
mkdir -p "$dist"
for exe in "${programs[@]}"; do
  cp "$exe" "$dist/"
  x86_64-w64-mingw32-strip "$dist/$(basename "$exe")"
done
cp LICENSE "$dist/LICENSE.txt"
# CR LF, so that Notepad of any Windows shows the lines.
sed 's/$/\r/' scripts/windows-readme.txt >"$dist/README.txt"
(cd "$build/dist" && zip -qr "$name.zip" "$name")

# The installer's own icon is the program's.
makensis -V2 "-DVERSION=$version" "-DDIST=$PWD/$dist" "-DICON=$PWD/$build/win32/art/relmuth.ico" \
  "-DOUTFILE=$PWD/$setup" scripts/windows-installer.nsi >"$build/makensis.log" ||
  { cat "$build/makensis.log" >&2; exit 1; }

echo "$dist"
echo "$build/dist/$name.zip"
echo "$setup"
