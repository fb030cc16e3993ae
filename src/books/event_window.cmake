# The event window and the statistics panel.
if(QUILLO_GUI)
  target_sources(quillo_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/event_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/statistics_panel.cpp)
endif()
