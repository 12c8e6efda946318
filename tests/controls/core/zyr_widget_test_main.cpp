#include "zyr_widget_test.h"

#include "controls/core/LibraryInternal.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QResource>

#include <gtest/gtest.h>

namespace zyrtest {

QPixmap solid(int width, int height, const QColor& color)
{
    QPixmap pixmap(width, height);
    pixmap.fill(color);
    return pixmap;
}

QImage shot(QWidget* widget, const QString& name)
{
    QImage image = widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QDir().mkpath(QStringLiteral(ZYR_SCREENSHOT_DIR));
    image.save(QStringLiteral(ZYR_SCREENSHOT_DIR "/") + name + QStringLiteral(".png"));
    return image;
}

QColor at(const QImage& image, int x, int y)
{
    return image.pixelColor(x, y);
}

bool pumpUntil(const std::function<bool()>& condition)
{
    QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void pump()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace zyrtest

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!QResource::registerResource(QStringLiteral(KIVO_ZYR_SKIN_FILE))) {
        fprintf(stderr, "cannot register %s\n", KIVO_ZYR_SKIN_FILE);
        return 1;
    }
    // The library's timers run a thousand times faster: a delay of 1200 ms
    // takes 1 or 2.
    ZyrelleControls::Internal::SetTimeScale(0.001);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
