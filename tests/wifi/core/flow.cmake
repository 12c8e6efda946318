set(_flowtests ${CMAKE_CURRENT_LIST_DIR})
kivo_add_test(flow_logic_test
  SOURCES ${_flowtests}/flow_navigation_test.cpp ${_flowtests}/flow_filter_test.cpp
          ${_flowtests}/flow_registry_settings_test.cpp
  LIBS kivo_wifi_flow_logic)

kivo_add_test(flow_controller_test
  SOURCES ${_flowtests}/flow_controller_test.cpp
  LIBS kivo_wifi_flow kivomap_peer_lib)
add_dependencies(flow_controller_test kivo_sim_wifidkcore)

kivo_add_test(flow_program_test
  SOURCES ${_flowtests}/flow_program_test.cpp
  LIBS kivo_platform
  CONFINED KivoWiFiProgram.OnAFullDiskItStartsWithoutItsEventQueueAndAnswersOnceThereIsRoom
           KivoWiFiProgram.TwoStartsOnAFullNeverUsedDiskLeaveOneRunning)
add_dependencies(flow_program_test KivoWiFi wmsg kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi
  kivo_sim_httptest)

kivo_add_test(flow_app_test
  SOURCES ${_flowtests}/flow_app_test.cpp
  LIBS kivo_wifi_flow kivo_sim_wzc)
add_dependencies(flow_app_test kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi)
