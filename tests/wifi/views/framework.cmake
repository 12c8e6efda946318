# The view and list framework, the alert screen and the row styles.
kivo_add_test(wifi_views_framework_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/view_framework_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_framework_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_framework_test kivo_resources)

kivo_add_test(wifi_views_alert_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/alert_view_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_alert_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_alert_test kivo_resources kivo_sim_wifidkcore)

kivo_add_test(wifi_views_rows_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/row_styles_test.cpp
  LIBS kivo_wifi_views Qt5::Test)
target_compile_definitions(wifi_views_rows_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_rows_test kivo_resources)
