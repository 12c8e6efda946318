# A peer program the platform tests start as a second process.
add_executable(platform_peer platform_peer.cpp)
target_link_libraries(platform_peer PRIVATE kivo_platform)

# A stand-in library for the loader: exports by name and an ordinal table.
add_library(PlatformTestLib SHARED platform_testlib.cpp)
set_target_properties(PlatformTestLib PROPERTIES PREFIX "" OUTPUT_NAME "PlatformTestLib")

# A stream driver library the device layer loads from the registry.
add_library(PlatformTestDriver MODULE platform_testdriver.cpp)
set_target_properties(PlatformTestDriver PROPERTIES PREFIX "" OUTPUT_NAME "PlatformTestDriver")
target_link_libraries(PlatformTestDriver PRIVATE kivo_platform)
# Stays loaded once loaded: the device it registers must not outlive its code.
target_link_options(PlatformTestDriver PRIVATE -Wl,-z,nodelete)

kivo_add_test(platform_core_test
  SOURCES core_paths_test.cpp core_registry_test.cpp core_sync_test.cpp core_queue_test.cpp
          core_loader_test.cpp core_device_test.cpp core_process_test.cpp core_squat_test.cpp core_replace_test.cpp
          peer.cpp
  LIBS kivo_platform)
add_dependencies(platform_core_test platform_peer PlatformTestLib PlatformTestDriver)
