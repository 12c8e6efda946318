# Tests of the system and IPC services.
set(services_fixture_ts ${CMAKE_CURRENT_LIST_DIR}/services_fixture_nb-NO.ts)
set_source_files_properties(${services_fixture_ts} PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR}/services_fixtures)
qt5_add_translation(services_fixture_qm ${services_fixture_ts})
add_custom_target(wifi_services_fixtures DEPENDS ${services_fixture_qm})

kivo_add_test(wifi_services_system_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/services_system_test.cpp
  LIBS kivo_wifi_services Qt5::Widgets)
target_compile_definitions(wifi_services_system_test PRIVATE
  KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}"
  KIVO_TEST_NB_NO_QM="${services_fixture_qm}")
add_dependencies(wifi_services_system_test kivo_resources wifi_services_fixtures)

kivo_add_test(wifi_services_ipc_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/services_ipc_test.cpp
  LIBS kivo_wifi_services Qt5::Widgets)
target_compile_definitions(wifi_services_ipc_test PRIVATE
  KIVO_TEST_KIVOMAP_PEER="$<TARGET_FILE:kivomap_peer>")
add_dependencies(wifi_services_ipc_test kivomap_peer)
