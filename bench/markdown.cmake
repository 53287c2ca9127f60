vorbel_add_bench(markdown_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/markdown_bench.cpp
  LIBS vorbel_markdown PkgConfig::CMARKGFM cmark-gfm-extensions)
