target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/thread_texts.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mutex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/condition.cpp
  ${CMAKE_CURRENT_LIST_DIR}/time_stamp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thread_manager.cpp
  ${CMAKE_CURRENT_LIST_DIR}/thread_task.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commit_scope.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gated_reporter.cpp)
