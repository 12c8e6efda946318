// Shared by the screen tests: the application, KivoWiFi's skins, offscreen
// shots kept as PNG and pixel helpers.
#pragma once

#include <QApplication>
#include <QImage>
#include <QPixmapCache>
#include <QResource>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace views_test {

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "views_test";
    static char* argv[] = { name, nullptr };
    if (!qApp)
        new QApplication(argc, argv);
}

// KivoWiFi's resource files from the build's device template, by day or by
// night. Like the program's own change of skin, it drops the pictures kept
// from the skin before.
inline bool registerSkins(const char* mode = "Day")
{
    QPixmapCache::clear();
    static QString registeredMode;
    const QString folder = QStringLiteral(KIVO_TEST_DEVICE_TEMPLATE "/SystemDrive/Falmo/program/wifi/Resources/480x272/");
    static bool common = QResource::registerResource(folder + QStringLiteral("KivoWiFiResCommon.bin"));
    if (!registeredMode.isEmpty())
        QResource::unregisterResource(folder + QStringLiteral("KivoWiFiRes%1.bin").arg(registeredMode));
    registeredMode = QLatin1String(mode);
    const bool themed = QResource::registerResource(folder + QStringLiteral("KivoWiFiRes%1.bin").arg(registeredMode));
    if (!common || !themed)
        std::fprintf(stderr, "cannot register KivoWiFi's resource files in %s\n", qPrintable(folder));
    return common && themed;
}

inline QImage shot(QWidget& w, const QString& name)
{
    QImage image = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    image.save(QStringLiteral("views_%1.png").arg(name));
    return image;
}

// Which of the nine big loading frames (1-9) an icon's image is; 0 when none.
inline int loadingFrameOf(const QImage& shown)
{
    for (int f = 1; f <= 9; ++f)
        if (shown == QImage(QStringLiteral(":/Loading_big/i_loading_%1.png").arg(f)).convertToFormat(shown.format()))
            return f;
    return 0;
}

inline bool isWhite(QRgb c)
{
    return qRed(c) > 225 && qGreen(c) > 225 && qBlue(c) > 225;
}

inline bool isDark(QRgb c)
{
    return qRed(c) < 90 && qGreen(c) < 90 && qBlue(c) < 90;
}

// Bounding box of the pixels inside `area` that pass `test`.
template <typename Test> QRect boundsOf(const QImage& image, const QRect& area, Test test)
{
    QRect box;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (test(image.pixel(x, y)))
                box |= QRect(x, y, 1, 1);
    return box;
}

// The share of the opaque pixels of `picture` that appear unchanged in
// `image` with the picture's top left corner at `at` (0 when it has none).
inline double pictureShown(const QImage& image, const QImage& picture, const QPoint& at)
{
    const QImage p = picture.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    int shown = 0;
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            const QRgb want = p.pixel(x, y);
            if (qAlpha(want) < 255)
                continue;
            ++opaque;
            const QPoint q = at + QPoint(x, y);
            if (!image.rect().contains(q))
                continue;
            const QRgb got = image.pixel(q);
            if (std::abs(qRed(got) - qRed(want)) <= 8 && std::abs(qGreen(got) - qGreen(want)) <= 8
                && std::abs(qBlue(got) - qBlue(want)) <= 8)
                ++shown;
        }
    return opaque ? double(shown) / opaque : 0.0;
}

} // namespace views_test
