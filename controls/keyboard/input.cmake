# The masked input widget.
list(APPEND ZYR_SOURCES
  keyboard/zyrInputWidget.h keyboard/zyrInputWidget.cpp
)
