# The satellite sky view and the north-up widget.
list(APPEND ZYR_SOURCES
  instruments/zyrSatelliteView.h instruments/zyrSatelliteView.cpp
  instruments/ZyrNorthUpWidget.h instruments/ZyrNorthUpWidget.cpp
)
