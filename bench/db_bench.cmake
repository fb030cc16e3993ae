quillo_add_bench(db_btree ${CMAKE_CURRENT_LIST_DIR}/db_btree_bench.cpp)
