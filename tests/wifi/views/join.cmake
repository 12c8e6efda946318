# The add-network screen, on the simulated adapter with the keyboard screen
# and a KivoMap stand-in.
kivo_add_test(wifi_views_join_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/join_view_test.cpp
  LIBS kivo_wifi_views kivo_sim_wzc kivomap_peer_lib Qt5::Test)
target_compile_definitions(wifi_views_join_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_join_test kivo_resources kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi Lettrix)

# Adding a network through the screens, up to the sync against the local
# service.
kivo_add_test(wifi_views_join_screens_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/join_through_screens_test.cpp
  LIBS kivo_wifi_views kivo_sim_wzc kivo_sync_server Qt5::Test)
target_compile_definitions(wifi_views_join_screens_test PRIVATE KIVO_TEST_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
add_dependencies(wifi_views_join_screens_test kivo_resources kivo_sim_wifidkcore kivo_sim_wzcsapi kivo_sim_iphlpapi
  kivo_sim_httptest Lettrix)

# A test catalog of screen texts in context QObject.
set(screens_fixture_ts ${CMAKE_CURRENT_LIST_DIR}/screens_fixture.ts)
set_source_files_properties(${screens_fixture_ts} PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR}/screens_fixtures)
qt5_add_translation(screens_fixture_qm ${screens_fixture_ts})
add_custom_target(wifi_views_screens_fixtures DEPENDS ${screens_fixture_qm})
target_compile_definitions(wifi_views_join_screens_test PRIVATE KIVO_TEST_SCREENS_QM="${screens_fixture_qm}")
add_dependencies(wifi_views_join_screens_test wifi_views_screens_fixtures)
