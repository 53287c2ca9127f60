# cmake -DSOURCE_DIR=<root> -DCLANG_FORMAT=<program> -P CheckFormat.cmake
# Fails when a .cpp or .h under src, tools, tests or bench differs from what
# the root .clang-format makes of it; clang-format names each place.
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<root> [-DCLANG_FORMAT=<program>] -P CheckFormat.cmake")
endif()
if(NOT CLANG_FORMAT)
  find_program(CLANG_FORMAT NAMES clang-format clang-format-14)
endif()
if(NOT CLANG_FORMAT)
  message(FATAL_ERROR "clang-format was not found: install the clang-format package (make deps does)")
endif()

set(files "")
foreach(folder src tools tests bench)
  file(GLOB_RECURSE found ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
  list(APPEND files ${found})
endforeach()
list(SORT files)
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "No source files under ${SOURCE_DIR}")
endif()

execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror --style=file ${files}
                WORKING_DIRECTORY ${SOURCE_DIR}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "clang-format would change the files above; run: make format")
endif()
message(STATUS "${count} files follow .clang-format")
