list(APPEND BENCH_SOURCES bench_phx_list.cpp)
list(APPEND BENCH_LIBS zyrControls Qt5::Widgets)
