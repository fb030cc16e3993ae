# Page arithmetic without a display; printing, saving and page setup under
# Xvfb.
quillo_add_test(print_layout_test ${CMAKE_CURRENT_LIST_DIR}/print_layout_test.cpp)
if(QUILLO_GUI)
  quillo_add_test(print_output_test ${CMAKE_CURRENT_LIST_DIR}/print_output_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/ui_gui/gui_test_main.cpp GUI)
  target_include_directories(print_output_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/ui_gui)
endif()
if(QUILLO_GUI)
  quillo_add_test(print_commands_test ${CMAKE_CURRENT_LIST_DIR}/print_commands_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_setup_panel_test.cpp
    ${CMAKE_SOURCE_DIR}/tests/ui_gui/gui_test_main.cpp GUI)
  target_include_directories(print_commands_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/ui_gui)
endif()
