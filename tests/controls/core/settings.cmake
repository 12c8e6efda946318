kivo_add_test(controls_settings_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
  LIBS zyrControls Qt5::Widgets)
