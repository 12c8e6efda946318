// What the library's own widgets read of the library-wide settings and the
// library's other static data. Not part of the interface for applications.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QAbstractScrollArea;
class QScrollBar;

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

// Time as the library's widgets see it. In the product the scale is 1 and
// the clock is a monotonic millisecond clock; tests change both so that
// nothing waits on real time.
//
// ScaledDuration: every interval the library gives a QTimer or QTimeLine
// (repeats, delays, animation lengths) passes through it. A positive
// duration comes back multiplied by the scale, never below 1 ms (a time
// line of 0 ms divides by zero); 0 and negative values come back unchanged.
ZYRCONTROLS_EXPORT int ScaledDuration(int ms);
ZYRCONTROLS_EXPORT double TimeScale();
// Test-only. A scale that is not positive and finite is ignored.
ZYRCONTROLS_EXPORT void SetTimeScale(double scale);

// Milliseconds on the library's clock: what measures elapsed time (such as
// a drag's speed samples) reads it.
ZYRCONTROLS_EXPORT qint64 NowMs();
// Test-only: replaces the clock; an empty function restores the real one.
ZYRCONTROLS_EXPORT void SetClock(std::function<qint64()> clock);

// The lists' own vertical bar, "_CUSTOMSCROLLBAR_": 8 pixels wide on the right
// edge of `area`, hidden until scrolling shows it, and following the area's
// own bar through the receiver's setCustValue(int) and setCustRange(int, int)
// slots (the area is the receiver).
QScrollBar* CreateCustomScrollBar(QAbstractScrollArea* area);
// Keeps the bar on the right edge of an area of `size`, a page per height.
void PlaceCustomScrollBar(QScrollBar* bar, const QSize& size);

} // namespace ZyrelleControls::Internal
