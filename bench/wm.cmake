list(APPEND BENCH_SOURCES bench_wm.cpp)
list(APPEND BENCH_LIBS kivo_platform)
add_executable(kivo_bench_wm_peer bench_wm_peer.cpp)
target_link_libraries(kivo_bench_wm_peer PRIVATE kivo_platform)
list(APPEND BENCH_DEPENDS kivo_bench_wm_peer)
set_source_files_properties(bench_wm.cpp PROPERTIES
  COMPILE_DEFINITIONS KIVO_BENCH_WM_PEER="$<TARGET_FILE:kivo_bench_wm_peer>")
