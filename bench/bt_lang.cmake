list(APPEND BENCH_SOURCES bench_bt_lang.cpp)
list(APPEND BENCH_LIBS kivo_bt)
