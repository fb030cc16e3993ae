# The library boundary, read from the include lines under ROOT (src/core):
# nothing there includes wxWidgets, GTK, GLib/GIO or the window side, and
# only the application knows ProgramSettings: the chat, net and books code
# takes the parts handed down to it (settings/settings_parts.h).
function(forbid pattern what)
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
  if(found)
    list(JOIN found "\n" text)
    message(FATAL_ERROR "${what} included:\n${text}")
  endif()
  message(STATUS "${ROOT}: no ${what} included")
endfunction()

forbid("[<\"](wx/|gtk/|gdk/|glib|gio/|gui/|SDL)" "window code" ${ROOT})
forbid("program_settings\\.h" "program_settings.h in chat, net or books" ${ROOT}/chat ${ROOT}/net
       ${ROOT}/books)
