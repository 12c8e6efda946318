# Image buttons, check and radio buttons, icons, labels and simple widgets.
list(APPEND ZYR_SOURCES
  core/ZyrCheckButton.h core/ZyrCheckButton.cpp
  core/ZyrPushButton.h core/ZyrPushButton.cpp
  core/zyrIconButton.h core/zyrIconButton.cpp
  core/ZyrIcon.h core/ZyrIcon.cpp
  core/ZyrTextBox.h core/ZyrTextBox.cpp
  core/ZyrPanels.h core/ZyrPanels.cpp
  core/ZyrAnimationCtrl.h core/ZyrAnimationCtrl.cpp
  core/ZyrStatusIndicator.h core/ZyrStatusIndicator.cpp
)
