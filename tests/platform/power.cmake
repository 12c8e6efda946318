# Power notifications and the foreground window (with the wmsg tool).
kivo_add_test(platform_power_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/power_test.cpp
  LIBS kivo_platform)
add_dependencies(platform_power_test wmsg)
