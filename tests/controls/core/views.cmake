kivo_add_test(controls_views_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/zyr_widget_test.h
    ${CMAKE_CURRENT_LIST_DIR}/zyr_widget_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/popups_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spin_slider_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/kinetic_views_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/combo_box_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
target_compile_definitions(controls_views_test PRIVATE
  KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}"
  ZYR_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots/controls_views_test")
add_dependencies(controls_views_test kivo_resources)
