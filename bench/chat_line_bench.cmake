quillo_add_bench(chat_line ${CMAKE_CURRENT_LIST_DIR}/chat_line_bench.cpp)
