# Saving, printing, previewing and page setup of the conversation.
target_sources(quillo_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/print_layout.cpp)
if(QUILLO_GUI)
  target_sources(quillo_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/conversation_printout.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_setup_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/print_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/print_data.cpp)
endif()
