# The panels' wx-free rules, and the panels themselves under Xvfb.
quillo_add_test(panel_fields_tests ${CMAKE_CURRENT_LIST_DIR}/panel_fields_test.cpp)
if(QUILLO_GUI)
  add_library(quillo_panel_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/panel_test_support.cpp
    ${CMAKE_SOURCE_DIR}/tests/ui_gui/gui_test_main.cpp)
  target_link_libraries(quillo_panel_test_support PUBLIC quillo_gui GTest::gtest
                        PRIVATE quillo_warnings)
  target_compile_definitions(quillo_panel_test_support PRIVATE
                             QUILLO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  target_include_directories(quillo_panel_test_support PUBLIC
                             ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_SOURCE_DIR}/tests/ui_gui)
  quillo_add_test(panels_config_test ${CMAKE_CURRENT_LIST_DIR}/config_panel_test.cpp GUI)
  target_link_libraries(panels_config_test PRIVATE quillo_panel_test_support)
endif()
if(QUILLO_GUI)
  quillo_add_test(panels_connect_test ${CMAKE_CURRENT_LIST_DIR}/connect_panel_test.cpp GUI)
  target_link_libraries(panels_connect_test PRIVATE quillo_panel_test_support)
endif()
if(QUILLO_GUI)
  quillo_add_test(panels_invitation_test ${CMAKE_CURRENT_LIST_DIR}/invitation_panel_test.cpp GUI)
  target_link_libraries(panels_invitation_test PRIVATE quillo_panel_test_support)
endif()
if(QUILLO_GUI)
  quillo_add_test(panels_frame_test ${CMAKE_CURRENT_LIST_DIR}/frame_panels_test.cpp GUI)
  target_link_libraries(panels_frame_test PRIVATE quillo_panel_test_support
                        quillo_gui_test_frame)
endif()
