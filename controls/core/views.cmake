# Pop-up frames, spin boxes, the slider and the Zyr kinetic views.
list(APPEND ZYR_SOURCES
  core/ZyrPopup.h core/ZyrPopup.cpp
  core/ZyrSpinBox.h core/ZyrSpinBox.cpp
  core/ZyrHorizontalSlider.h core/ZyrHorizontalSlider.cpp
  core/ZyrKineticViews.h core/ZyrKineticViews.cpp
  core/ZyrComboBox.h core/ZyrComboBox.cpp
)
