# The internet and captive-portal probe, the file services it shares with the
# flow, and the saved-network logic of the flow.
set(_probe ${CMAKE_CURRENT_LIST_DIR})

add_library(kivo_wifi_probe STATIC
  ${_probe}/WiFiChechZk.h ${_probe}/WiFiChechZk.cpp
  ${_probe}/probe_files.h ${_probe}/probe_files.cpp
  ${_probe}/saved_networks.h ${_probe}/saved_networks.cpp
)
target_include_directories(kivo_wifi_probe PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kivo_wifi_probe PUBLIC Qt5::Core kivo_platform)
# The probe loads the stand-in library at run time.
add_dependencies(kivo_wifi_probe kivo_sim_httptest)

# The flow's saved-network operations belong to the flow controller's library
# (flow.cmake, included before this file).
if(TARGET kivo_wifi_flow)
  target_sources(kivo_wifi_flow PRIVATE ${_probe}/flow_networks.cpp)
  add_dependencies(kivo_wifi_flow kivo_sim_httptest)
endif()
# KivoWiFi starts the portal browser stand-in at run time.
if(TARGET KivoWiFi)
  add_dependencies(KivoWiFi kivo_sim_httptest kivo_sim_zk_launcher)
endif()
