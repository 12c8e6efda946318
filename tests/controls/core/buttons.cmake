find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_buttons_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/zyr_widget_test.h
    ${CMAKE_CURRENT_LIST_DIR}/zyr_widget_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/check_buttons_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/push_buttons_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/labels_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
target_compile_definitions(controls_buttons_test PRIVATE
  KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}"
  ZYR_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots/controls_buttons_test")
add_dependencies(controls_buttons_test kivo_resources)
