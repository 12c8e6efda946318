# The wireless configuration layer (CMyConfigWiFi) on the Zero Config service.
add_library(kivo_wifi_wireless STATIC
  ${CMAKE_CURRENT_LIST_DIR}/MyConfigWiFi.h
  ${CMAKE_CURRENT_LIST_DIR}/MyConfigWiFi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wireless_rules.h
  ${CMAKE_CURRENT_LIST_DIR}/wireless_rules.cpp
)
target_link_libraries(kivo_wifi_wireless PUBLIC Qt5::Core kivo_platform)
