# The profile chart.
find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_chart_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chart_plot_test.cpp ${CMAKE_CURRENT_LIST_DIR}/pen_trace_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
