quillo_add_test(byte_string_tests ${CMAKE_CURRENT_LIST_DIR}/byte_string_test.cpp)
