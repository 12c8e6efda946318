list(APPEND BENCH_SOURCES bench_platform.cpp)
list(APPEND BENCH_LIBS kivo_platform)
