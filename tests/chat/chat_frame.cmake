quillo_add_test(chat_frame_tests ${CMAKE_CURRENT_LIST_DIR}/chat_frame_test.cpp)
