target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/message_header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cipher_table.cpp)
