# SPDX-License-Identifier: GPL-3.0-or-later
# Each layer sees its own headers and those of the layers below it, and
# nothing above: a header of a layer above, included from a layer's root,
# must not compile. Run by ctest with -DCXX=... -DLAYERS=<build>/layers.
#
# Each case: the layer, the include roots it is built with, a header it may
# include, a header it must not.
cmake_policy(SET CMP0054 NEW)
set(cases
  "relmuth_tape|relmuth_tape,relmuth_res|tape/TapeBlock.h|serial/CommPort.h"
  "relmuth_tape|relmuth_tape,relmuth_res|tape/RelmuthDoc.h|audio/Recording.h"
  "relmuth_audio|relmuth_audio,relmuth_tape,relmuth_res|audio/Recording.h|session/TapeSession.h"
  "relmuth_serial|relmuth_serial,relmuth_tape,relmuth_res|serial/TransferReceiver.h|session/TapeSession.h"
  "relmuth_res|relmuth_res|res/Strings.h|tape/TapeBlock.h"
)
# The probe lives apart from the sources, so that no header is found beside it.
set(probe ${LAYERS}/probe/layer_probe.cpp)
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 layer)
  list(GET fields 1 roots)
  list(GET fields 2 allowed)
  list(GET fields 3 forbidden)
  string(REPLACE "," ";" roots "${roots}")
  set(flags "")
  foreach(root IN LISTS roots)
    list(APPEND flags "-I${LAYERS}/${root}")
  endforeach()
  foreach(header allowed forbidden)
    file(WRITE ${probe} "#include \"${${header}}\"\n")
    execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only ${flags} ${probe}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(header STREQUAL "allowed" AND NOT result EQUAL 0)
      list(APPEND failures "${layer} cannot include ${allowed}")
    elseif(header STREQUAL "forbidden" AND result EQUAL 0)
      list(APPEND failures "${layer} can include ${forbidden}, a layer above it")
    endif()
  endforeach()
endforeach()
if(failures)
  string(REPLACE ";" "\n  " failures "${failures}")
  message(FATAL_ERROR "Layer rule broken:\n  ${failures}")
endif()
