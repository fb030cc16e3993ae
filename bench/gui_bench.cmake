# The conversation window under a flood of lines from the partner.
if(QUILLO_GUI)
  quillo_add_bench(gui_flood ${CMAKE_CURRENT_LIST_DIR}/gui_flood.cpp GUI)
endif()
