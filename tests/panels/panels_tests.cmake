# The panels' wx-free rules, and the panels themselves under Xvfb.
quillo_add_test(panel_fields_tests ${CMAKE_CURRENT_LIST_DIR}/panel_fields_test.cpp)
