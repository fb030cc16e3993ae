if(QUILLO_GUI)
  target_sources(quillo_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/quillo_app.cpp)
endif()
