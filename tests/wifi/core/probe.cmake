# The portal probe thread and its file services.
kivo_add_test(probe_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe_files_test.cpp ${CMAKE_CURRENT_LIST_DIR}/probe_thread_test.cpp
  LIBS kivo_wifi_probe Qt5::Core)

# The saved-network logic of the flow, without the flow.
kivo_add_test(networks_slots_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/networks_slots_test.cpp
  LIBS kivo_wifi_probe Qt5::Core)

# The flow's saved networks and joins against the simulated adapter.
if(TARGET kivo_wifi_flow)
  kivo_add_test(networks_flow_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/networks_flow_test.cpp
    LIBS kivo_wifi_flow kivo_sim_wzc)
  add_dependencies(networks_flow_test kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi kivo_sim_httptest)
endif()
