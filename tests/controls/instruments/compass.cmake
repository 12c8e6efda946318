# The colour arrow and the compasses.
find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_compass_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/compass_test.cpp
  LIBS zyrControls kivo_sim_compass Qt5::Widgets Qt5::Test)
