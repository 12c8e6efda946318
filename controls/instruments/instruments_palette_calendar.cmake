# The colour swatches and palette, and the calendar.
list(APPEND ZYR_SOURCES
  instruments/zyrColorPaletteCtrl.h instruments/zyrColorPaletteCtrl.cpp
  instruments/ui_zyrCalendarUI.h
  instruments/zyrCalendarWidget.h instruments/zyrCalendarWidget.cpp
)
