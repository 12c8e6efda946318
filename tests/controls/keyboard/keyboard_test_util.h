// Helpers shared by the keyboard's tests.
#pragma once

#include "controls/core/LibraryInternal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace kbdtest {

// Pumps events until the condition holds; false after a generous bound.
// Holds come from the library's scaled timers, so this returns in a few
// milliseconds of real time.
inline bool waitUntil(const std::function<bool()>& condition, int boundMs = 5000)
{
    QDeadlineTimer deadline(boundMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        // Outside an event loop deleteLater waits for this explicitly.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// Makes the library's one-second hold last a millisecond for one test.
class FastHolds {
public:
    FastHolds() { ZyrelleControls::Internal::SetTimeScale(0.001); }
    ~FastHolds() { ZyrelleControls::Internal::SetTimeScale(1.0); }
};

// The widget drawn alone on a transparent image.
inline QImage renderAlone(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Where an image holds pixels darker than the threshold (text on a light
// face); an empty rectangle when none.
inline QRect darkBounds(const QImage& image, int threshold = 100)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 128 && c.red() < threshold && c.green() < threshold && c.blue() < threshold)
                bounds |= QRect(x, y, 1, 1);
        }
    return bounds;
}

} // namespace kbdtest
