# Library-wide settings, the controls language and the sound hook.
list(APPEND ZYR_SOURCES
  core/zyrcontrols_global.h
  core/ZyrelleControls.h core/ZyrelleControls.cpp
  core/SoundHook.h core/SoundHook.cpp
  core/LibraryInternal.h
)
