# KivoWiFi left alone: which timers wake it.
kivo_add_test(wifi_views_idle_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/idle_test.cpp
  LIBS kivo_wifi_views kivo_sim_wzc Qt5::Test)
target_compile_definitions(wifi_views_idle_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_idle_test kivo_resources kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi)
