# The satellite sky view, the map control with its engine interface, the
# north-up widget and the paged main shell.
list(APPEND ZYR_SOURCES
  instruments/zyrSatelliteView.h instruments/zyrSatelliteView.cpp
  instruments/IMapView.h
  instruments/ZyrMapControl.h instruments/ZyrMapControl.cpp
  instruments/ZyrNorthUpWidget.h instruments/ZyrNorthUpWidget.cpp
  instruments/kivoMainShell.h instruments/kivoMainShell.cpp
)
