# The keyboard screen, with the Lettrix plug-in.
kivo_add_test(wifi_views_keyboard_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/keyboard_view_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_keyboard_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_keyboard_test kivo_resources kivo_sim_wifidkcore Lettrix)
