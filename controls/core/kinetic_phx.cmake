# The Kinetic flick-scrolling engine and the phx widgets KivoWiFi's screens
# are built from.
list(APPEND ZYR_SOURCES
  core/Kinetic.h core/Kinetic.cpp core/KineticPrivate.h
  core/phxClickSound.h core/phxClickSound.cpp
  core/phxWidget.h core/phxWidget.cpp
  core/phxPushButton.h core/phxPushButton.cpp
  core/phxIcon.h core/phxIcon.cpp
  core/phxVirtualList.h core/phxVirtualList.cpp
  core/phxTextEdit.h core/phxTextEdit.cpp
)
