// What the library's own widgets read of the library-wide settings and the
// library's other static data. Not part of the interface for applications.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace ZyrelleControls::Internal {

// The style sheets last given to the Set...StyleSheet functions.
const QString& VerticalScrollBarStyleSheet();
const QString& HorizontalScrollBarStyleSheet();
const QString& ProgressBarStyleSheet();

// The text widgets' font rule: with the controls language Chinese, Japanese
// or Korean the copy loses bold; otherwise it is the font as given.
QFont FontForControlsLanguage(const QFont& font);

// "Container": appended by the keyboard container to a layout plug-in's file
// name to form the layout name it asks the layout factory for.
const QString& LayoutNameSuffix();
// "0.5x", "1x", "2x", "4x": the strip compass's zoom labels, by zoom level.
const QStringList& StripCompassZoomLabels();

} // namespace ZyrelleControls::Internal
