set(_wirelesstests ${CMAKE_CURRENT_LIST_DIR})

# The layer's rules without any service.
kivo_add_test(wireless_rules_test
  SOURCES ${_wirelesstests}/wireless_rules_test.cpp
  LIBS kivo_wifi_wireless)

# The layer against the simulated adapter (driven through its test API).
kivo_add_test(wireless_sim_test
  SOURCES ${_wirelesstests}/wireless_sim_test.cpp ${_wirelesstests}/wireless_test_support.h
  LIBS kivo_wifi_wireless kivo_sim_wzc)
add_dependencies(wireless_sim_test kivo_sim_wzcsapi kivo_sim_iphlpapi)

# The layer with a library that lacks names (a process of its own, so that no
# complete library is loaded in it).
kivo_add_test(wireless_incomplete_test
  SOURCES ${_wirelesstests}/wireless_incomplete_test.cpp ${_wirelesstests}/wireless_test_support.h
  LIBS kivo_wifi_wireless kivo_sim_wzc)
add_dependencies(wireless_incomplete_test kivo_sim_wzcsapi_incomplete kivo_sim_wzcsapi_nocontext kivo_sim_iphlpapi)
