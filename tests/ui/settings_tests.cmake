quillo_add_test(settings_file_tests ${CMAKE_CURRENT_LIST_DIR}/settings_file_test.cpp)
quillo_add_test(settings_apply_tests ${CMAKE_CURRENT_LIST_DIR}/settings_apply_test.cpp)
