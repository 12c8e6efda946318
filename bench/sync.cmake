list(APPEND BENCH_SOURCES bench_sync_common.cpp bench_sync_transport.cpp bench_sync_run.cpp)
list(APPEND BENCH_LIBS kivo_wifi_sync kivo_sync_server Qt5::Network)
