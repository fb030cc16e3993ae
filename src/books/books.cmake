# Address books: records, name keys, opening and rebuilding a book, and the
# sequences the panels call. No window code.
target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/address_book.cpp
  ${CMAKE_CURRENT_LIST_DIR}/book_handles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/book_sequences.cpp
  ${CMAKE_CURRENT_LIST_DIR}/connection_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/invitation_record.cpp
  ${CMAKE_CURRENT_LIST_DIR}/name_key.cpp)
