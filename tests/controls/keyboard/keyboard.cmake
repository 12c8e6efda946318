# Tests of the on-screen keyboard, with fixture layout plug-ins built next to
# the tests (the platform loader finds them in the program's folder).
find_package(Qt5 5.15 REQUIRED COMPONENTS Test)
set(kbd_dir ${CMAKE_CURRENT_LIST_DIR})

# The fixtures' counts outlive each plug-in's load and unload.
add_library(kbd_fixture_counts SHARED ${kbd_dir}/fixture_counts.cpp)
target_include_directories(kbd_fixture_counts PUBLIC ${CMAKE_SOURCE_DIR})

# No unique symbols: each fixture must really unmap on its last free.
function(kbd_fixture name)
  add_library(${name} MODULE ${kbd_dir}/fixture_plugin.cpp)
  set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  target_compile_options(${name} PRIVATE -fno-gnu-unique)
  target_compile_definitions(${name} PRIVATE ${ARGN})
  target_link_libraries(${name} PRIVATE zyrControls kbd_fixture_counts ${CMAKE_DL_LIBS})
endfunction()
kbd_fixture(KbdFixtureA)
kbd_fixture(KbdFixtureB)
kbd_fixture(KbdFixtureUnregOnly FIXTURE_NO_REGISTER)
kbd_fixture(KbdFixtureNoKeyboard FIXTURE_NO_KEYBOARD)
set(kbd_fixtures KbdFixtureA KbdFixtureB KbdFixtureUnregOnly KbdFixtureNoKeyboard)

set_source_files_properties(${kbd_dir}/kbd_fixture_de.ts PROPERTIES OUTPUT_LOCATION ${CMAKE_CURRENT_BINARY_DIR}/kbd)
qt5_add_translation(kbd_fixture_qm ${kbd_dir}/kbd_fixture_de.ts)
add_custom_target(kbd_fixture_translations DEPENDS ${kbd_fixture_qm})

set(kbd_common_res ${KIVO_DEVICE_TEMPLATE}/SystemDrive/Falmo/program/wifi/Resources/480x272/KivoWiFiResCommon.bin)

kivo_add_test(controls_keyboard_keys_test
  SOURCES ${kbd_dir}/key_button_test.cpp ${kbd_dir}/multipage_test.cpp ${kbd_dir}/keyboard_test_main.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)

kivo_add_test(controls_keyboard_popup_test
  SOURCES ${kbd_dir}/popup_flow_test.cpp ${kbd_dir}/keyboard_test_main.cpp
  LIBS zyrControls Qt5::Widgets Qt5::Test)

kivo_add_test(controls_keyboard_loading_test
  SOURCES ${kbd_dir}/factory_test.cpp ${kbd_dir}/container_test.cpp ${kbd_dir}/keyboard_test_main.cpp
  LIBS zyrControls kbd_fixture_counts Qt5::Widgets Qt5::Test ${CMAKE_DL_LIBS})
target_compile_definitions(controls_keyboard_loading_test PRIVATE
  KBD_FIXTURE_QM="${kbd_fixture_qm}" KBD_COMMON_RESOURCES="${kbd_common_res}")
add_dependencies(controls_keyboard_loading_test ${kbd_fixtures} kbd_fixture_translations kivo_resources)
