# The searching and connecting screens on the simulated adapter, the probe
# and the portal browser stand-in.
foreach(screen searching connect)
  kivo_add_test(wifi_views_${screen}_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/${screen}_view_test.cpp
    LIBS kivo_wifi_views kivo_sim_wzc Qt5::Test)
  target_compile_definitions(wifi_views_${screen}_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
  add_dependencies(wifi_views_${screen}_test kivo_resources kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi
    kivo_sim_httptest kivo_sim_zk_launcher)
endforeach()
