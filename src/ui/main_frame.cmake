# The main window and its services: conversation, splitter, toolbar art,
# the GUI reporter, the activity sound and the shell launcher.
if(QUILLO_GUI)
  target_sources(quillo_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/activity_sound.cpp
    ${CMAKE_CURRENT_LIST_DIR}/conversation_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gui_reporter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gui_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/main_frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/program_message.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/splitter_window.cpp
    ${CMAKE_CURRENT_LIST_DIR}/toolbar_art.cpp)
  # The frame sets the window's urgency hint through GTK itself.
  pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
  target_link_libraries(quillo_gui PRIVATE PkgConfig::GTK3)
endif()
