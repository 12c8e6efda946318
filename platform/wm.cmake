# Window messages between threads and processes of one device root.
set(KIVO_PLATFORM_WM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/wm_queue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_send.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_windows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_directory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_wire.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wm_foreground.cpp
)
