// Helpers the phx widget tests share: the library's skins, offscreen shots
// kept as PNG, colour comparison and mouse moves with the button held.
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QPixmap>
#include <QResource>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace phx_test {

inline QPixmap skin(const char* name)
{
    QPixmap p(QStringLiteral(":/phx/") + QLatin1String(name));
    EXPECT_FALSE(p.isNull()) << name;
    return p;
}

// Renders the widget and keeps a PNG of it for a look.
inline QImage shot(QWidget& w, const QString& name)
{
    QImage image = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.save(QStringLiteral("phx_%1.png").arg(name));
    return image;
}

inline ::testing::AssertionResult near(QColor actual, QColor expected, int tolerance = 2)
{
    if (std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance
        && std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got rgb(" << actual.red() << "," << actual.green() << "," << actual.blue()
                                         << ") expected rgb(" << expected.red() << "," << expected.green() << ","
                                         << expected.blue() << ")";
}

// QTest moves carry no button; a drag needs the left button held.
inline void dragTo(QWidget* w, QPoint at)
{
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

inline bool registerSkin()
{
    if (QResource::registerResource(QStringLiteral(KIVO_ZYR_SKIN_FILE)))
        return true;
    fprintf(stderr, "cannot register %s\n", KIVO_ZYR_SKIN_FILE);
    return false;
}

} // namespace phx_test
