list(APPEND BENCH_SOURCES bench_chart.cpp)
list(APPEND BENCH_LIBS zyrControls Qt5::Widgets)
