# The colour arrow, the rose and strip faces of the compass, the strip
# compass and the ring compass.
list(APPEND ZYR_SOURCES
  instruments/ICompassDataProvider.h
  instruments/zyrColorArrow.h instruments/zyrColorArrow.cpp
  instruments/zyrCompass.h instruments/zyrCompass.cpp
  instruments/zyrStripCompass.h instruments/zyrStripCompass.cpp
  instruments/kivoCompass.h instruments/kivoCompass.cpp
)
