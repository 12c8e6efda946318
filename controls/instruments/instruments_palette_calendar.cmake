# The colour swatches and palette, and the calendar.
list(APPEND ZYR_SOURCES
  instruments/zyrColorPaletteCtrl.h instruments/zyrColorPaletteCtrl.cpp
)
