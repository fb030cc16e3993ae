target_sources(quillo_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/startup.cpp)
