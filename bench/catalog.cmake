list(APPEND BENCH_SOURCES bench_catalog.cpp)
list(APPEND BENCH_LIBS kivo_wifi_sync)
