# The chat panel and its session commands, through the real windows.
if(QUILLO_GUI)
  quillo_add_test(app_chat_panel_test ${CMAKE_CURRENT_LIST_DIR}/chat_panel_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/ui_gui/gui_test_main.cpp GUI)
  target_link_libraries(app_chat_panel_test PRIVATE quillo_gui_test_frame)
endif()
