vorbel_add_test(pinecone_review_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PineconeReviewTest.cpp
  LIBS vorbel_extensions)
