find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_input_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../core/zyr_widget_test.h
    ${CMAKE_CURRENT_LIST_DIR}/../core/zyr_widget_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/input_widget_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
target_include_directories(controls_input_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../core)
target_compile_definitions(controls_input_test PRIVATE
  KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}"
  ZYR_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots/controls_input_test")
add_dependencies(controls_input_test kivo_resources)
