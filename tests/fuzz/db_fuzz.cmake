# Arbitrary bytes opened as a database file and as a B-tree index file.
quillo_add_fuzzer(db_file ${CMAKE_CURRENT_LIST_DIR}/db_fuzz.cpp)
