# The coordinate entry widget and its six forms.
list(APPEND ZYR_SOURCES
  keyboard/zyrCoordEntryForms.h keyboard/zyrCoordEntryForms.cpp
  keyboard/zyrCoordEntryWidget.h keyboard/zyrCoordEntryWidget.cpp
)
