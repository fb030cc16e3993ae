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
if(QUILLO_GUI)
  add_library(quillo_gui_test_frame STATIC ${CMAKE_CURRENT_LIST_DIR}/frame_fixture.cpp)
  target_link_libraries(quillo_gui_test_frame PUBLIC quillo_gui GTest::gtest PRIVATE quillo_warnings)
  target_compile_definitions(quillo_gui_test_frame PRIVATE QUILLO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_include_directories(quillo_gui_test_frame PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  quillo_add_test(ui_gui_main_frame_test ${CMAKE_CURRENT_LIST_DIR}/main_frame_test.cpp
    ${QUILLO_GUI_TEST_MAIN} GUI)
  target_link_libraries(ui_gui_main_frame_test PRIVATE quillo_gui_test_frame)
endif()
