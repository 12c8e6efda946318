list(APPEND BENCH_SOURCES bench_ant.cpp)
list(APPEND BENCH_LIBS senvoy_objects)
