#include "platform/dialogs/gdi.h"

#include "platform/debug.h"
#include "platform/paths.h"

#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QResource>

#include <algorithm>
#include <mutex>

namespace ce::dlg {

QColor toQColor(COLORREF colour)
{
    return QColor(int(colour & 0xFF), int(colour >> 8 & 0xFF), int(colour >> 16 & 0xFF));
}

QFont toQFont(const LogFont& font)
{
    QFont f(QString::fromStdString(font.face.empty() ? std::string("Arial") : font.face));
    f.setPixelSize(font.height > 0 ? font.height : (font.height < 0 ? -font.height : 12));
    // The device's weights run 0..1000, Qt's 0..99.
    if (font.weight > 0)
        f.setWeight(font.weight >= 700 ? QFont::Bold : font.weight >= 500 ? QFont::Medium : QFont::Normal);
    return f;
}

Font createFont(const LogFont& font)
{
    return std::make_shared<const LogFont>(font);
}

namespace {

std::mutex g_resourceLock;
std::string g_resourceFile;
bool g_resourceRegistered = false;

bool ensureResources()
{
    std::lock_guard<std::mutex> lock(g_resourceLock);
    if (g_resourceRegistered)
        return true;
    if (g_resourceFile.empty())
        return false;
    const QString file = QString::fromStdString(ce::resolvePath(g_resourceFile));
    if (!QResource::registerResource(file)) {
        ce::debugPrintf("dialogs: cannot open the resource file %s\r\n", g_resourceFile.c_str());
        return false;
    }
    g_resourceRegistered = true;
    return true;
}

} // namespace

void setResourceFile(const std::string& devicePath)
{
    std::lock_guard<std::mutex> lock(g_resourceLock);
    if (g_resourceRegistered) {
        QResource::unregisterResource(QString::fromStdString(ce::resolvePath(g_resourceFile)));
        g_resourceRegistered = false;
    }
    g_resourceFile = devicePath;
}

Bitmap loadBitmap(int id)
{
    if (id <= 0 || !ensureResources())
        return nullptr;
    QImage image(QStringLiteral(":/KivoBT/%1.png").arg(id));
    if (image.isNull())
        return nullptr;
    return std::make_shared<const QImage>(image.convertToFormat(QImage::Format_RGB32));
}

bool transparentBlt(QPainter& painter, const QRect& dst, const QImage& src, COLORREF key)
{
    if (src.isNull())
        return false;
    QImage masked = src.convertToFormat(QImage::Format_ARGB32);
    const QRgb k = toQColor(key).rgb() & 0xFFFFFF;
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x)
            if ((line[x] & 0xFFFFFF) == k)
                line[x] = 0;
    }
    painter.drawImage(dst, masked);
    return true;
}

int fitCount(const QFont& font, const std::u16string& text, int width)
{
    const QFontMetrics m(font);
    const QString s = QString::fromStdU16String(text);
    // The width of a prefix grows with its length: search for the longest
    // that fits.
    int low = 0;
    int high = s.size();
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (m.horizontalAdvance(s.left(mid)) <= width)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

int textWidth(const QFont& font, const std::u16string& text)
{
    return QFontMetrics(font).horizontalAdvance(QString::fromStdU16String(text));
}

std::u16string elideRight(const QFont& font, const std::u16string& text, int width, bool more)
{
    if (!more && textWidth(font, text) <= width)
        return text;
    const std::u16string dots = u"...";
    size_t n = size_t(fitCount(font, text, width - textWidth(font, dots)));
    for (;;) {
        // Never half a surrogate pair, and no blank before the dots.
        while (n > 0 && (QChar::isHighSurrogate(text[n - 1]) || text[n - 1] == u' '))
            --n;
        // Kerning may make the joined line a pixel wider than its parts.
        if (n == 0 || textWidth(font, text.substr(0, n) + dots) <= width)
            return text.substr(0, n) + dots;
        --n;
    }
}

FittedLine fitLine(const QFont& font, const std::u16string& text, int width, int minPixelSize)
{
    QFont f(font);
    if (textWidth(f, text) <= width)
        return { f, text };
    const int given = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    for (int size = given - 1; size >= minPixelSize; --size) {
        f.setPixelSize(size);
        if (textWidth(f, text) <= width)
            return { f, text };
    }
    if (minPixelSize < given)
        f.setPixelSize(std::max(1, minPixelSize));
    else
        f = font;
    return { f, elideRight(f, text, width) };
}

} // namespace ce::dlg
