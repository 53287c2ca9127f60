vorbel_add_bench(turn_bench QT_MAIN SOURCES ${CMAKE_CURRENT_LIST_DIR}/turn_bench.cpp LIBS vorbel_chat Qt6::Core)
