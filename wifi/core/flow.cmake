# KivoWiFi's flow controller, application object, message filter and entry.
set(_flow ${CMAKE_CURRENT_LIST_DIR})

# The flow's plain logic (navigation, message filter) and the registry-backed
# settings: no widgets, so tests use it directly.
add_library(kivo_wifi_flow_logic STATIC
  ${_flow}/flow_ids.h
  ${_flow}/flow_navigation.h ${_flow}/flow_navigation.cpp
  ${_flow}/flow_filter.h ${_flow}/flow_filter.cpp
  ${_flow}/RegistrySettings.h ${_flow}/RegistrySettings.cpp
)
target_include_directories(kivo_wifi_flow_logic PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kivo_wifi_flow_logic PUBLIC Qt5::Core kivo_platform)

# The flow controller and the application object.
add_library(kivo_wifi_flow STATIC
  ${_flow}/flow_views.h
  ${_flow}/flow_dkcore.h ${_flow}/flow_dkcore.cpp
  ${_flow}/flow_instance.h ${_flow}/flow_instance.cpp
  ${_flow}/KivoWiFiFlow.h ${_flow}/KivoWiFiFlow.cpp
  ${_flow}/WifiApplication.h ${_flow}/WifiApplication.cpp
)
target_include_directories(kivo_wifi_flow PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kivo_wifi_flow PUBLIC
  kivo_wifi_flow_logic kivo_wifi_wireless kivo_wifi_services kivo_wifi_probe
  Qt5::Core Qt5::Gui Qt5::Widgets kivo_platform kivo_platform_qt)

# The program.
add_executable(KivoWiFi ${_flow}/main.cpp)
target_link_libraries(KivoWiFi PRIVATE kivo_wifi_flow)
# What it loads at run time: the Wi-Fi support library and the wireless
# adapter stand-ins.
add_dependencies(KivoWiFi kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi)
