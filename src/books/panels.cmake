# The Connect, Config and Invitation panels: their wx-free rules in the core
# library, the windows and the waiting loop in the GUI library.
target_sources(quillo_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/panel_fields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/config_commit.cpp)
if(QUILLO_GUI)
  target_sources(quillo_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/panel_wait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/connect_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/config_panel.cpp
    ${CMAKE_CURRENT_LIST_DIR}/invitation_panel.cpp)
endif()
