# The database engine: portable integers, CRC-32, block file, B-tree index,
# indexed database and persistent objects.
target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/address_stack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/btree_index.cpp
  ${CMAKE_CURRENT_LIST_DIR}/btree_node.cpp
  ${CMAKE_CURRENT_LIST_DIR}/btree_update.cpp
  ${CMAKE_CURRENT_LIST_DIR}/crc32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database_error.cpp
  ${CMAKE_CURRENT_LIST_DIR}/database_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/index_key.cpp
  ${CMAKE_CURRENT_LIST_DIR}/indexed_database.cpp
  ${CMAKE_CURRENT_LIST_DIR}/persistent_object.cpp)
