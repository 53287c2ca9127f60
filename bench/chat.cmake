vorbel_add_bench(chat_bench QT_MAIN SOURCES ${CMAKE_CURRENT_LIST_DIR}/chat_bench.cpp LIBS vorbel_chat Qt6::Core)
