# The chat panel and the session facts of the close sequence.
if(QUILLO_GUI)
  target_sources(quillo_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/chat_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/session_commands.cpp)
endif()
