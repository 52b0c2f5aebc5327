# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build needs, when any is missing.
# Sourced by run.sh and test.sh; needs root or sudo only when it installs.

RELMUTH_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  pasmo libz80ex-dev
  qt6-base-dev qt6-serialport-dev qt6-translations-l10n libqt6svg6 fonts-ipafont-gothic libx11-dev
  libsndfile1-dev
  desktop-file-utils shared-mime-info
  clang libclang-rt-14-dev clang-format
)

# What the Windows build and its tests need beside those (build-windows.sh,
# test-windows.sh): the cross compiler, dpkg-source for libsndfile's source
# package, wine to run the tests, zip for the folder, NSIS for the installer,
# rsvg-convert and python3 for the window program's icons and tool bar,
# python3 for the far end of the test's serial line, a virtual display for
# the window program's tests and pictures, with the Japanese font.
RELMUTH_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 dpkg-dev googletest
  wine wine64 zip nsis librsvg2-bin python3 xvfb xauth fonts-ipafont-gothic
)

relmuth_install_deps() {
  relmuth_install_packages "${RELMUTH_PACKAGES[@]}"
}

# Installs those of the given packages that are missing.
relmuth_install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
