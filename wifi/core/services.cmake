# KivoWiFi's system and IPC services, linked into the program.
add_library(kivo_wifi_services STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SystemHelper.h ${CMAKE_CURRENT_LIST_DIR}/SystemHelper.cpp
  ${CMAKE_CURRENT_LIST_DIR}/IPCHelper.h ${CMAKE_CURRENT_LIST_DIR}/IPCHelper.cpp
)
target_include_directories(kivo_wifi_services PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(kivo_wifi_services PUBLIC Qt5::Core Qt5::Gui Qt5::Widgets zyrControls kivo_platform)
if(TARGET Qt5::Multimedia)
  target_link_libraries(kivo_wifi_services PRIVATE Qt5::Multimedia)
  target_compile_definitions(kivo_wifi_services PRIVATE KIVO_HAVE_QT_MULTIMEDIA)
endif()
