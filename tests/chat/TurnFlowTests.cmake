vorbel_add_test(turn_flow_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ConversationControllerTest.cpp
  LIBS vorbel_chat)
