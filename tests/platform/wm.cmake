# Window messages: in-process behaviour, and several processes of one device
# root (a small peer program and the wmsg tool).
add_executable(wm_test_peer wm_peer.cpp)
target_link_libraries(wm_test_peer PRIVATE kivo_platform)

kivo_add_test(platform_wm_test
  SOURCES wm_local_test.cpp wm_process_test.cpp wm_tool_test.cpp
  LIBS kivo_platform)
add_dependencies(platform_wm_test wm_test_peer wmsg)
