quillo_add_test(socket_tests ${CMAKE_CURRENT_LIST_DIR}/socket_test.cpp LABELS threads)
