# End-to-end scenarios: real quillo programs on a private display (Xvfb,
# openbox, a D-Bus session with the accessibility bus), driven through
# AT-SPI. Each scenario is one test; `make e2e` runs the label alone.
if(QUILLO_GUI)
  set(QUILLO_E2E_SCENARIOS conversation wrong_key restart invite save close hostile install)
  foreach(scenario ${QUILLO_E2E_SCENARIOS})
    add_test(NAME e2e_${scenario}
             COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/run_e2e.py
                     --quillo $<TARGET_FILE:quillo> --build-dir ${CMAKE_BINARY_DIR} ${scenario})
    set_tests_properties(e2e_${scenario} PROPERTIES LABELS "e2e" TIMEOUT 240)
  endforeach()
endif()
