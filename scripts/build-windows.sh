#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds relmuth-tape and the window program relmuth.exe for 64-bit
# Windows with Debian's MinGW-w64 and leaves
# build-windows/dist/relmuth-VERSION-win64/ (the programs, LICENSE,
# README.txt) and its zip beside it. Installs what is missing first.
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
  -DRELMUTH_WINDOWS_PREFIX="$prefix" -DRELMUTH_BUILD_TESTS="$with_tests" "${launcher[@]}" >/dev/null
targets=(relmuth-tape relmuth)
[ "$with_tests" = ON ] && targets+=(relmuth_windows_tests)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

# Every DLL the program imports must be one Windows has itself.
system_dlls='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|comdlg32|version|msvcrt|ws2_32|ole32|api-ms-win-.*)\.dll$'
for exe in "$build"/tools/relmuth-tape/relmuth-tape.exe "$build"/win32/relmuth.exe; do
  bad=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' |
        tr 'A-Z' 'a-z' | grep -Ev "$system_dlls" || true)
  if [ -n "$bad" ]; then
    echo "$exe imports DLLs that Windows does not have: $bad" >&2
    exit 1
  fi
done

version=$(sed -n 's/^project(Relmuth VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="relmuth-$version-win64"
dist="$build/dist/$name"
rm -rf "$dist" "$build/dist/$name.zip"
mkdir -p "$dist"
cp "$build/tools/relmuth-tape/relmuth-tape.exe" "$dist/"
x86_64-w64-mingw32-strip "$dist/relmuth-tape.exe"
cp LICENSE "$dist/LICENSE.txt"
# CR LF, so that Notepad of any Windows shows the lines.
sed 's/$/\r/' scripts/windows-readme.txt >"$dist/README.txt"
(cd "$build/dist" && zip -qr "$name.zip" "$name")
echo "$dist"
echo "$build/dist/$name.zip"
