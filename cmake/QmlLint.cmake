# cmake -DQMLLINT=<qmllint> -DIMPORTS=<dir;dir> -DFILES=<a.qml;b.qml;...> -P QmlLint.cmake
# Lints every view at once against the built modules and fails on any finding,
# an info as much as a warning: the views lint clean. It runs qmllint itself
# rather than Qt's <module>_qmllint targets, which would build the modules again.
if(NOT QMLLINT OR NOT IMPORTS OR NOT FILES)
  message(FATAL_ERROR "usage: cmake -DQMLLINT=<qmllint> -DIMPORTS=<dirs> -DFILES=<files> -P QmlLint.cmake")
endif()
set(arguments --bare)
foreach(import ${IMPORTS})
  list(APPEND arguments -I ${import})
endforeach()
execute_process(COMMAND ${QMLLINT} ${arguments} ${FILES}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT output STREQUAL "")
  message(FATAL_ERROR "qmllint reports:\n${output}")
endif()
list(LENGTH FILES count)
message(STATUS "qmllint finds nothing in ${count} views")
