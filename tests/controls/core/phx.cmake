# The Kinetic engine and the phx widgets.
kivo_add_test(controls_kinetic_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kinetic_test.cpp
  LIBS zyrControls Qt5::Widgets)
