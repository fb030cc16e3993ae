# Fails when the terminal program PROGRAM loads wxWidgets, GTK, GDK or GLib:
# it must stand on the window-free library alone.
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libraries RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "ldd could not read ${PROGRAM}")
endif()
string(REGEX MATCHALL "[^\n]*(libwx|libgtk|libgdk|libglib|libgio|libgobject)[^\n]*" bad "${libraries}")
if(bad)
  list(JOIN bad "\n" text)
  message(FATAL_ERROR "quillo-term links window libraries:\n${text}")
endif()
message(STATUS "${PROGRAM}: no window library linked")
