# The portal probe thread and its file services.
kivo_add_test(probe_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/probe_files_test.cpp ${CMAKE_CURRENT_LIST_DIR}/probe_thread_test.cpp
  LIBS kivo_wifi_probe Qt5::Core)

# The saved-network logic of the flow, without the flow.
kivo_add_test(networks_slots_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/networks_slots_test.cpp
  LIBS kivo_wifi_probe Qt5::Core)
