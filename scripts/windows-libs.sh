#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libraries the Windows programs and their tests link, from
# Debian's own sources, once: libsndfile from its source package (the
# formats it has built in; no external codec libraries) and GoogleTest from
# the googletest package's sources in /usr/src. Everything stays under
# BUILD (default build-windows/): the source packages are fetched with an apt
# configuration of our own there, so the machine's apt sources and lists are
# never changed. Both at -O1: they are built on every fresh machine, and
# the decoder's time is spent in our code, not in reading the samples.
#
#   bash scripts/windows-libs.sh [BUILD]     prints the prefix on standard output
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-windows}")
triplet=x86_64-w64-mingw32
prefix="$build/libs/prefix"
work="$build/libs/work"
stamp="$prefix/.relmuth-libs-1"
if [ -f "$stamp" ]; then
  echo "$prefix"
  exit 0
fi
mkdir -p "$prefix" "$work"
jobs=$(nproc)

# A private apt: the archive the machine uses, as deb-src, with lists and
# cache of its own.
apt_dir="$build/libs/apt"
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
cat >"$apt_dir/sources.list" <<LIST
deb-src http://deb.debian.org/debian $suite main
deb-src http://deb.debian.org/debian $suite-updates main
deb-src http://deb.debian.org/debian-security $suite-security main
LIST
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
          -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
          -o "APT::Sandbox::User=$(id -un)" -qq)

src="$work/src"
if ! ls "$src"/libsndfile_*.dsc >/dev/null 2>&1; then
  rm -rf "$src" && mkdir -p "$src"
  apt-get "${apt_opts[@]}" update >&2
  (cd "$src" && apt-get "${apt_opts[@]}" source --download-only libsndfile >&2)
fi
rm -rf "$work/libsndfile"
dpkg-source --no-check -x "$(ls "$src"/libsndfile_*.dsc | head -1)" "$work/libsndfile" >&2

# The formats built into libsndfile: WAV, AIFF, AU, CAF, W64, RF64 and the
# rest of the uncompressed ones. FLAC, Ogg Vorbis, Opus and MP3 need libraries
# of their own and are left out.
cmake -S "$work/libsndfile" -B "$work/libsndfile-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
  -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_REGTEST=OFF -DENABLE_CPACK=OFF \
  -DINSTALL_MANPAGES=OFF -DENABLE_PACKAGE_CONFIG=OFF -DINSTALL_PKGCONFIG_MODULE=ON >&2
cmake --build "$work/libsndfile-build" -j "$jobs" >&2
cmake --install "$work/libsndfile-build" >&2

# GoogleTest as Debian ships its sources.
cmake -S /usr/src/googletest -B "$work/googletest-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF >&2
cmake --build "$work/googletest-build" -j "$jobs" >&2
cmake --install "$work/googletest-build" >&2

touch "$stamp"
echo "$prefix"
