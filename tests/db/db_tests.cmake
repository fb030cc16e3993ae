quillo_add_test(db_tests
  ${CMAKE_CURRENT_LIST_DIR}/portable_int_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/btree_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/indexed_database_test.cpp)
target_link_libraries(db_tests PRIVATE z)
