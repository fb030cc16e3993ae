quillo_add_test(startup_tests ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp)
