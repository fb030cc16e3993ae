target_sources(quillo_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/settings_file.cpp)
