# A peer's byte stream read by the talker, and a host's reply read by the
# client connect task.
quillo_add_fuzzer(talker ${CMAKE_CURRENT_LIST_DIR}/talker_fuzz.cpp)
quillo_add_fuzzer(connect_reply ${CMAKE_CURRENT_LIST_DIR}/connect_reply_fuzz.cpp)
