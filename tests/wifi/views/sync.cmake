# The sync screen, against the local sync service.
kivo_add_test(wifi_views_sync_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/sync_view_test.cpp
  LIBS kivo_wifi_views kivo_sync_server Qt5::Test)
target_compile_definitions(wifi_views_sync_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_sync_test kivo_resources kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi)

# The demo's pictures of the window.
kivo_add_test(wifi_views_shots_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_shots_test.cpp
  LIBS kivo_wifi_views)
target_compile_definitions(wifi_views_shots_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_shots_test kivo_resources kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi)
