quillo_add_fuzzer(settings_file ${CMAKE_CURRENT_LIST_DIR}/settings_file_fuzz.cpp)
