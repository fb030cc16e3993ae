quillo_add_test(chat_engine_tests ${CMAKE_CURRENT_LIST_DIR}/chat_engine_test.cpp LABELS threads)
