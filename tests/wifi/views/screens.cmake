# The security screen and the option chooser.
kivo_add_test(wifi_views_choosers_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/chooser_views_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_choosers_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_choosers_test kivo_resources kivo_sim_wifidkcore)

# The Wi-Fi off and information screens.
kivo_add_test(wifi_views_info_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/info_views_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_info_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_info_test kivo_resources kivo_sim_wifidkcore)

# The symbols on the plain footer buttons.
kivo_add_test(wifi_views_footer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/footer_symbols_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_footer_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_footer_test kivo_resources kivo_sim_wifidkcore)
