# SPDX-License-Identifier: GPL-3.0-or-later
# Assembles the loader routine with pasmo; run with cmake -P.
#   PASMO: the assembler; SOURCE: the .asm file; BIN, SYM, LST: the outputs.
# pasmo truncates out-of-range operands silently and prints warnings only on
# its error stream, so any text there (or a non-zero exit) fails the build,
# and the outputs of a failed run are removed so no stale binary survives.
foreach(var PASMO SOURCE BIN SYM LST)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "Assemble.cmake: ${var} is not set")
  endif()
endforeach()

execute_process(
  COMMAND "${PASMO}" --alocal -d --bin "${SOURCE}" "${BIN}" "${SYM}"
  OUTPUT_FILE "${LST}"
  ERROR_VARIABLE errors
  RESULT_VARIABLE result)

if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
  file(REMOVE "${BIN}" "${SYM}")
  message(FATAL_ERROR "pasmo failed on ${SOURCE} (exit ${result}):\n${errors}")
endif()
