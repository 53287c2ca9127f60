vorbel_add_test(pinecone_key_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PineconeKeyTest.cpp
  LIBS vorbel_extensions)
