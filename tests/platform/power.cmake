# Power notifications and the foreground window (with the wmsg tool).
kivo_add_test(platform_power_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/power_test.cpp
  LIBS kivo_platform)
add_dependencies(platform_power_test wmsg)
target_compile_definitions(platform_power_test PRIVATE KIVO_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
