list(APPEND BENCH_SOURCES bench_wifi_startup.cpp)
add_executable(kivo_bench_hello_window bench_hello_window.cpp)
target_link_libraries(kivo_bench_hello_window PRIVATE Qt5::Widgets)
# KivoWiFi starts with its skins, sounds and translations from the device
# template: they must be built.
list(APPEND BENCH_DEPENDS kivo_bench_hello_window KivoWiFi kivo_resources)
set_source_files_properties(bench_wifi_startup.cpp PROPERTIES COMPILE_DEFINITIONS
  "KIVO_BENCH_HELLO_WINDOW=\"$<TARGET_FILE:kivo_bench_hello_window>\";KIVO_BENCH_KIVOWIFI=\"$<TARGET_FILE:KivoWiFi>\";KIVO_BENCH_DEVICE_TEMPLATE=\"${KIVO_DEVICE_TEMPLATE}\"")
