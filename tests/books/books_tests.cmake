quillo_add_test(books_tests
  ${CMAKE_CURRENT_LIST_DIR}/address_book_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/field_record_test.cpp)
