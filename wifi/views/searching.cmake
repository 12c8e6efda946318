# The searching and connecting screens and what they share after a join.
target_sources(kivo_wifi_views PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/forms/WiFiSearchingView480x272Class.h
  ${CMAKE_CURRENT_LIST_DIR}/forms/WiFiConnectView480x272Class.h
  ${CMAKE_CURRENT_LIST_DIR}/portal_steps.h ${CMAKE_CURRENT_LIST_DIR}/portal_steps.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WiFiSearchingView.h ${CMAKE_CURRENT_LIST_DIR}/WiFiSearchingView.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WiFiConnectView.h ${CMAKE_CURRENT_LIST_DIR}/WiFiConnectView.cpp
)
# The screens start the portal browser stand-in.
add_dependencies(kivo_wifi_views kivo_sim_zk_launcher)
