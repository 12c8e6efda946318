# The colour swatches and palette, and the calendar.
find_package(Qt5Test 5.15 REQUIRED)
foreach(t palette calendar)
  kivo_add_test(controls_${t}_test
    SOURCES
      ${CMAKE_SOURCE_DIR}/tests/controls/core/zyr_widget_test.h
      ${CMAKE_SOURCE_DIR}/tests/controls/core/zyr_widget_test_main.cpp
      ${CMAKE_CURRENT_LIST_DIR}/${t}_test.cpp
    LIBS zyrControls Qt5::Widgets Qt5::Test)
  target_compile_definitions(controls_${t}_test PRIVATE
    KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}"
    ZYR_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots/controls_${t}_test")
  add_dependencies(controls_${t}_test kivo_resources)
endforeach()
