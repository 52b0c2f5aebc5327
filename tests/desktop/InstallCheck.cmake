# SPDX-License-Identifier: GPL-3.0-or-later
cmake_minimum_required(VERSION 3.25)
# Installs the build into STAGE_DIR (as DESTDIR, prefix /usr), lists what
# came, and checks that the programs, the desktop entry, the icon and the
# file types are in their XDG places. Run by CTest with BUILD_DIR, STAGE_DIR
# and PROGRAMS (the executables that must be installed).
file(REMOVE_RECURSE ${STAGE_DIR})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE_DIR}
          ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()

file(GLOB_RECURSE installed RELATIVE ${STAGE_DIR} ${STAGE_DIR}/*)
list(SORT installed)
list(JOIN installed "\n  " listing)
message(STATUS "Installed:\n  ${listing}")

set(expected
  usr/share/applications/relmuth.desktop
  usr/share/icons/hicolor/scalable/apps/relmuth.svg
  usr/share/mime/packages/relmuth.xml)
foreach(program ${PROGRAMS})
  list(APPEND expected usr/bin/${program})
endforeach()
foreach(file ${expected})
  if(NOT file IN_LIST installed)
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
# Each installed program runs from where it was put.
foreach(program ${PROGRAMS})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                          ${STAGE_DIR}/usr/bin/${program} --version
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "usr/bin/${program} --version failed:\n${out}")
  endif()
endforeach()

# The MIME database takes the types and maps every extension to one.
find_program(UPDATE_MIME update-mime-database)
if(UPDATE_MIME)
  execute_process(COMMAND ${UPDATE_MIME} ${STAGE_DIR}/usr/share/mime
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR out MATCHES "rror|arning")
    message(FATAL_ERROR "update-mime-database refused the types:\n${out}")
  endif()
  file(READ ${STAGE_DIR}/usr/share/mime/globs2 globs)
  foreach(pattern kxm cmt cas t88)
    if(NOT globs MATCHES "application/x-[a-z0-9-]+:\\*\\.${pattern}\n")
      message(FATAL_ERROR "no type for *.${pattern} in the MIME database:\n${globs}")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE ${STAGE_DIR})
