# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the POSIX thread
# model, for std::thread). The runtime is linked into every program, so that
# a program needs no DLL beyond Windows' own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(RELMUTH_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RELMUTH_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RELMUTH_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${RELMUTH_MINGW_TRIPLET}-windres)

# Libraries built for Windows by scripts/windows-libs.sh live under this prefix.
set(RELMUTH_WINDOWS_PREFIX "" CACHE PATH "Where the Windows builds of the libraries are")
set(CMAKE_FIND_ROOT_PATH /usr/${RELMUTH_MINGW_TRIPLET} ${RELMUTH_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# pkg-config finds the Windows libraries only, never the build machine's.
if(RELMUTH_WINDOWS_PREFIX)
  set(ENV{PKG_CONFIG_LIBDIR} "${RELMUTH_WINDOWS_PREFIX}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
