list(APPEND BENCH_SOURCES bench_ant_profiles.cpp)
list(APPEND BENCH_LIBS senvoy_objects kivo_ant_radio_sim)
