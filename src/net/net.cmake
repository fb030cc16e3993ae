target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/socket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/smtp_client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_mail_task.cpp)
