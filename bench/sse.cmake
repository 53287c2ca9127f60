vorbel_add_bench(sse_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/sse_bench.cpp LIBS vorbel_eventsource)
