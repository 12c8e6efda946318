list(APPEND BENCH_SOURCES bench_wifi_views.cpp)
list(APPEND BENCH_LIBS kivo_wifi_views)
# The list frame draws the rows' skin pictures: the skins must be built.
list(APPEND BENCH_DEPENDS kivo_resources)
set_source_files_properties(bench_wifi_views.cpp PROPERTIES
  COMPILE_DEFINITIONS KIVO_BENCH_DEVICE_TEMPLATE="${KIVO_DEVICE_TEMPLATE}")
