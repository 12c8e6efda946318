# The coordinate entry widget and its forms.
find_package(Qt5Test 5.15 REQUIRED)
kivo_add_test(controls_coord_entry_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/../core/zyr_widget_test.h
    ${CMAKE_CURRENT_LIST_DIR}/../core/zyr_widget_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/coord_entry_test.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)
target_include_directories(controls_coord_entry_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../core)
target_compile_definitions(controls_coord_entry_test PRIVATE
  KIVO_ZYR_SKIN_FILE="${KIVO_ZYR_SKIN_FILE}"
  ZYR_SCREENSHOT_DIR="${CMAKE_CURRENT_BINARY_DIR}/screenshots/controls_coord_entry_test")
add_dependencies(controls_coord_entry_test kivo_resources)
