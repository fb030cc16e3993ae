# In-process GUI tests, run under Xvfb. gui_test_main.cpp is their main() and
# may be reused by any GUI test of the project.
if(QUILLO_GUI)
  set(QUILLO_GUI_TEST_MAIN ${CMAKE_CURRENT_LIST_DIR}/gui_test_main.cpp)
  quillo_add_test(ui_gui_windows_test
    ${CMAKE_CURRENT_LIST_DIR}/event_window_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gui_reporter_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/activity_sound_test.cpp
    ${QUILLO_GUI_TEST_MAIN} GUI)
  target_include_directories(ui_gui_windows_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()
if(QUILLO_GUI)
  quillo_add_test(ui_gui_shell_test ${CMAKE_CURRENT_LIST_DIR}/shell_test.cpp
    ${QUILLO_GUI_TEST_MAIN} GUI)
  target_include_directories(ui_gui_shell_test PRIVATE ${CMAKE_CURRENT_LIST_DIR})
endif()
