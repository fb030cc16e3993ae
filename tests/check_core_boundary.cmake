# The library boundary, read from the include lines under ROOT (src/core):
# nothing there includes wxWidgets, GTK, GLib/GIO or the window side, and
# only the application knows ProgramSettings: the chat, net and books code
# takes the parts handed down to it (settings/settings_parts.h).

# Appends to out every "file: line" under the folders whose include line
# matches pattern.
function(includes_matching pattern out)
  set(found "")
  foreach(folder ${ARGN})
    file(GLOB_RECURSE files ${folder}/*.h ${folder}/*.cpp ${folder}/*.inc)
    foreach(f ${files})
      file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include")
      foreach(line ${lines})
        if(line MATCHES "${pattern}")
          list(APPEND found "${f}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

includes_matching("[<\"](wx/|gtk/|gdk/|glib|gio/|gui/|SDL)" bad ${ROOT})
if(bad)
  list(JOIN bad "\n" text)
  message(FATAL_ERROR "Window code included under src/core:\n${text}")
endif()
message(STATUS "${ROOT}: no window code included")

includes_matching("program_settings\\.h" settings_users ${ROOT}/chat ${ROOT}/net ${ROOT}/books)
if(settings_users)
  list(JOIN settings_users "\n" text)
  message(FATAL_ERROR "ProgramSettings included below the application:\n${text}")
endif()
message(STATUS "${ROOT}: chat, net and books do not include program_settings.h")
