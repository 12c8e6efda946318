# Pop-up frames, spin boxes and the slider.
list(APPEND ZYR_SOURCES
  core/ZyrPopup.h core/ZyrPopup.cpp
  core/ZyrSpinBox.h core/ZyrSpinBox.cpp
  core/ZyrHorizontalSlider.h core/ZyrHorizontalSlider.cpp
)
