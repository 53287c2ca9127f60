vorbel_add_bench(store_bench QT_MAIN SOURCES ${CMAKE_CURRENT_LIST_DIR}/store_bench.cpp LIBS vorbel_store Qt6::Core)
