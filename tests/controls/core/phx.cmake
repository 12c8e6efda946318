# The Kinetic engine and the phx widgets.
find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_kinetic_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/kinetic_test.cpp
  LIBS zyrControls Qt5::Widgets)

kivo_add_test(controls_phx_widgets_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/phx_widgets_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
target_compile_definitions(controls_phx_widgets_test PRIVATE KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}")
add_dependencies(controls_phx_widgets_test kivo_resources)

kivo_add_test(controls_phx_lists_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/phx_lists_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
target_compile_definitions(controls_phx_lists_test PRIVATE KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}")
add_dependencies(controls_phx_lists_test kivo_resources)
