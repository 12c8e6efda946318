# The on-screen keyboard: keys, the multi-page keyboard, the layout factory
# that loads layout plug-ins, the container hosts use, and the
# extended-character pop-up with its flow layout.
list(APPEND ZYR_SOURCES
  keyboard/zyrKeyButton.h keyboard/zyrKeyButton.cpp
  keyboard/zyrMultiPageKeyboard.h keyboard/zyrMultiPageKeyboard.cpp
  keyboard/zyrLayoutFactory.h keyboard/zyrLayoutFactory.cpp
  keyboard/ZyrFlowLayout.h keyboard/ZyrFlowLayout.cpp
  keyboard/zyrKeyExtWidget.h keyboard/zyrKeyExtWidget.cpp
  keyboard/zyrKBContainer.h keyboard/zyrKBContainer.cpp
)
list(APPEND ZYR_LIBS kivo_platform)
