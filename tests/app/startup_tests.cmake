quillo_add_test(startup_tests ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp)
if(QUILLO_GUI)
  # Runs the program itself; needs the X display the GUI tests run under.
  quillo_add_test(startup_program_tests ${CMAKE_CURRENT_LIST_DIR}/startup_program_test.cpp SERIAL
                  LABELS gui)
  add_dependencies(startup_program_tests quillo)
endif()
