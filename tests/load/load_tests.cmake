# The hosting engine under a storm of callers while a conversation runs. It
# measures how the host keeps up, so it runs alone.
quillo_add_test(host_load_tests ${CMAKE_CURRENT_LIST_DIR}/host_load_test.cpp SERIAL LABELS load)
