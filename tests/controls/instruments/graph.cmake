# The simple graph view and the profile chart.
find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_graph_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graph_view_test.cpp
  LIBS zyrControls kivo_sim_graphview Qt5::Widgets Qt5::Test)
