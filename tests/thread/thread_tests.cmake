quillo_add_test(thread_tests
  ${CMAKE_CURRENT_LIST_DIR}/thread_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cancel_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sync_test.cpp
  LABELS threads)
