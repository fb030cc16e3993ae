quillo_add_test(socket_tests ${CMAKE_CURRENT_LIST_DIR}/socket_test.cpp LABELS threads)
quillo_add_test(smtp_tests ${CMAKE_CURRENT_LIST_DIR}/smtp_test.cpp LABELS threads)
quillo_add_test(mail_state_tests ${CMAKE_CURRENT_LIST_DIR}/mail_state_test.cpp LABELS threads)
