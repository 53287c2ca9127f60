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

# vorbel_add_ui_library(NAME URI <Vorbel.Ui.X> SOURCES ... QML_FILES ... RESOURCES ... DEPS ...):
# one folder of src/ui, a static library and the QML module of its views. The
# views live in the library's resources: the program never reads QML from disk.
function(vorbel_add_ui_library name)
  cmake_parse_arguments(U "" "URI" "SOURCES;QML_FILES;RESOURCES;DEPS;DEPENDENCIES" ${ARGN})
  vorbel_add_library(${name} SOURCES ${U_SOURCES} DEPS ${U_DEPS} Qt6::Quick Qt6::QuickControls2)
  # The generated type registration includes the headers by their bare names.
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "." "/" path ${U_URI})
  # One import root for every module, so that qmllint finds the modules a view imports.
  qt_add_qml_module(${name}
    URI ${U_URI}
    VERSION 1.0
    RESOURCE_PREFIX /qt/qml
    OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/qml/${path}
    DEPENDENCIES QtQuick ${U_DEPENDENCIES}
    QML_FILES ${U_QML_FILES}
    RESOURCES ${U_RESOURCES})
  list(TRANSFORM U_QML_FILES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  set_property(GLOBAL APPEND PROPERTY VORBEL_QML_FILES ${U_QML_FILES})
endfunction()
