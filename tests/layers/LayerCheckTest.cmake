# cmake -DCHECK=<CheckLayers.cmake> -DWORK_DIR=<scratch folder> -P LayerCheckTest.cmake
# Runs the layer check over small trees of one file each and compares its verdict.
cmake_policy(SET CMP0007 NEW) # the passing cases end in an empty field
set(layers "core;ui/common;ui/conversation;ui/mainwindow;app")
# file | its one line | what the check must say ("" when it must pass)
set(cases
  "ui/conversation/Page.qml|import Vorbel.Ui.Common|"
  "ui/conversation/Page.qml|import Vorbel.Ui.Conversation|"
  "ui/conversation/Page.qml|import Vorbel.Ui.MainWindow|imports Vorbel.Ui.MainWindow, which is above ui/conversation/"
  "ui/common/Row.qml|  import Vorbel.Ui.Conversation 1.0|imports Vorbel.Ui.Conversation, which is above ui/common/"
  "ui/common/Row.qml|import Vorbel.Ui|imports Vorbel.Ui, which is no folder of the layer order"
  "ui/mainwindow/Window.cpp|#include \"ui/conversation/Page.h\"|"
  "ui/common/Theme.cpp|#include \"ui/mainwindow/Window.h\"|includes ui/mainwindow/, which is above ui/common/"
  "core/Settings.cpp|#include \"ui/common/Theme.h\"|includes ui/common/, which is above core/"
  "ui/Loose.h|#pragma once|ui/Loose.h: its folder is not in the layer order")

set(failures "")
set(index 0)
foreach(case ${cases})
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 file)
  list(GET fields 1 line)
  list(LENGTH fields count)
  set(expected "")
  if(count GREATER 2)
    list(GET fields 2 expected)
  endif()
  set(tree ${WORK_DIR}/case${index})
  file(REMOVE_RECURSE ${tree})
  file(WRITE ${tree}/${file} "${line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} "-DLAYERS=${layers}" -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expected STREQUAL "" AND NOT result EQUAL 0)
    string(APPEND failures "  ${file} '${line}' was refused:\n${output}\n")
  elseif(NOT expected STREQUAL "")
    string(FIND "${output}" "${expected}" found)
    if(result EQUAL 0 OR found EQUAL -1)
      string(APPEND failures "  ${file} '${line}' should be refused with '${expected}', got:\n${output}\n")
    endif()
  endif()
  math(EXPR index "${index} + 1")
endforeach()

if(failures)
  message(FATAL_ERROR "The layer check is wrong:\n${failures}")
endif()
