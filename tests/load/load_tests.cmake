# The hosting engine under a storm of callers while a conversation runs.
quillo_add_test(host_load_tests ${CMAKE_CURRENT_LIST_DIR}/host_load_test.cpp LABELS load)
