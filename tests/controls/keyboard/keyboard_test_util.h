// Helpers shared by the keyboard's tests.
#pragma once

#include "controls/core/LibraryInternal.h"
#include "controls/keyboard/zyrKeyButton.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QObject>
#include <QTest>
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

// Presses the key, waits until its hold has fired, runs whileDown with the
// key still down, then releases it over the key or off it. A second held
// key, pressed later and so timed out later, tells when the hold has fired.
inline void holdKey(zyrKeyButton* key, const std::function<void()>& whileDown, bool releaseOver = true)
{
    zyrKeyButton probe;
    probe.setKeyStringLower(QStringLiteral("p"));
    probe.setHasExtChar(true);
    probe.resize(20, 20);
    bool probeFired = false;
    QObject::connect(&probe, &zyrKeyButton::extendedChars, [&] { probeFired = true; });
    QCoreApplication::processEvents();

    QTest::mousePress(key, Qt::LeftButton);
    QTest::mousePress(&probe, Qt::LeftButton);
    const bool fired = waitUntil([&] { return probeFired; });
    if (!fired)
        qWarning("holdKey: the hold never fired");
    whileDown();
    QTest::mouseRelease(key, Qt::LeftButton, {}, releaseOver ? key->rect().center() : QPoint(-20, -20));
    QTest::mouseRelease(&probe, Qt::LeftButton, {}, QPoint(-20, -20));
}

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
