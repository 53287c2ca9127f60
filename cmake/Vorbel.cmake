# vorbel_add_library(NAME SOURCES ... DEPS ...): one static library per folder of src/.
function(vorbel_add_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS})
endfunction()

# vorbel_add_test(NAME SOURCES ... LIBS ...): one GoogleTest program, one CTest entry.
function(vorbel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE vorbel_test_support ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QUICK_BACKEND=software;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0"
    TIMEOUT 600)
endfunction()

# vorbel_add_bench(NAME [QT_MAIN] SOURCES ... LIBS ...): a Google Benchmark program,
# run on demand. QT_MAIN gives it the main() of bench/QtBenchmarkMain.cpp.
function(vorbel_add_bench name)
  cmake_parse_arguments(B "QT_MAIN" "" "SOURCES;LIBS" ${ARGN})
  if(B_QT_MAIN)
    list(APPEND B_SOURCES ${PROJECT_SOURCE_DIR}/bench/QtBenchmarkMain.cpp)
    list(APPEND B_LIBS Qt6::Core)
  endif()
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
endfunction()
