list(APPEND BENCH_SOURCES bench_platform.cpp)
list(APPEND BENCH_LIBS kivo_platform)
add_executable(kivo_bench_queue_peer bench_platform_peer.cpp)
target_link_libraries(kivo_bench_queue_peer PRIVATE kivo_platform)
list(APPEND BENCH_DEPENDS kivo_bench_queue_peer)
set_source_files_properties(bench_platform.cpp PROPERTIES
  COMPILE_DEFINITIONS KIVO_BENCH_QUEUE_PEER="$<TARGET_FILE:kivo_bench_queue_peer>")
