# Installation: the program and its desktop launcher, the help page and
# sound the launcher copies into each user's working directory, the menu
# entry and the icon.
if(QUILLO_GUI)
  include(GNUInstallDirs)
  set(QUILLO_DATA_DIR ${CMAKE_SOURCE_DIR}/data)
  # The program target is defined after the areas; a generator expression
  # names its file without needing it yet.
  install(PROGRAMS $<TARGET_FILE:quillo> ${CMAKE_SOURCE_DIR}/scripts/quillo-launcher
          DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${QUILLO_DATA_DIR}/quillo.html ${QUILLO_DATA_DIR}/activity.wav
          DESTINATION ${CMAKE_INSTALL_DATADIR}/quillo)
  install(FILES ${QUILLO_DATA_DIR}/quillo.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${QUILLO_DATA_DIR}/art/icon16.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME quillo.png)
  install(FILES ${QUILLO_DATA_DIR}/art/icon32.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME quillo.png)
  install(FILES ${QUILLO_DATA_DIR}/quillo.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  # Menus do not always search the prefix's bin directory; the entry names
  # the launcher by its full installed path (without any staging DESTDIR).
  install(CODE "
    set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/quillo.desktop\")
    file(READ \"\${entry}\" text)
    string(REPLACE \"Exec=quillo-launcher\"
           \"Exec=\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/quillo-launcher\" text \"\${text}\")
    file(WRITE \"\${entry}\" \"\${text}\")
  ")
endif()
