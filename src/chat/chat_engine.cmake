target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/session_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chat_session_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_socket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/talker_task.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_task.cpp
  ${CMAKE_CURRENT_LIST_DIR}/client_connect_task.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chat_engine.cpp)
