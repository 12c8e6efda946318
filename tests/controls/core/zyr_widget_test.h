// Shared by the widget tests of zyrControls: the application, the skin,
// the stepped time, a sound manager that records, screenshots and fixtures.
#pragma once

#include <QColor>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace zyrtest {

// Records the names the library's widgets report.
class SoundRecorder : public QObject {
    Q_OBJECT
public:
    QStringList played;
public slots:
    void onPlayWidgetSound(const QString& name) { played << name; }
};

// A pixmap of one colour.
QPixmap solid(int width, int height, const QColor& color);
// The widget rendered offscreen; also saved as <name>.png in the test's
// screenshot folder for a look.
QImage shot(QWidget* widget, const QString& name);
// The pixel's colour with alpha, for comparisons in test output.
QColor at(const QImage& image, int x, int y);
// Lets timers of the (zero-scaled) library time run: processes events until
// the condition holds or a generous bound passes. Returns the condition.
bool pumpUntil(const std::function<bool()>& condition);
void pump();

} // namespace zyrtest
