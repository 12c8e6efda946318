// Drawing for the dialog layer: colours as the device writes them
// (0x00BBGGRR), fonts from a font description, bitmaps by resource id from
// the program's resource file, colour-key blits and text measuring.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>

#include <cstdint>
#include <memory>
#include <string>

class QPainter;

namespace ce::dlg {

// 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF rgb(int r, int g, int b) { return COLORREF(r) | COLORREF(g) << 8 | COLORREF(b) << 16; }
QColor toQColor(COLORREF colour);

// A font description: height in pixels, weight (400 regular, 700 bold),
// character set and pitch-and-family as the device names them (kept, not
// used here), and the face.
struct LogFont {
    int height = 0;
    int weight = 0;
    int charSet = 0;
    int pitchAndFamily = 0;
    std::string face;
};
QFont toQFont(const LogFont& font);
using Font = std::shared_ptr<const LogFont>;
Font createFont(const LogFont& font);

// A loaded bitmap; null when it could not be loaded.
using Bitmap = std::shared_ptr<const QImage>;

// The program's resource file (a device path), read on the first load.
void setResourceFile(const std::string& devicePath);
// The bitmap with the resource id, or null.
Bitmap loadBitmap(int id);

// Draws src into dst (scaled to it) leaving out the pixels of the key colour.
// False (nothing drawn) when src is null.
bool transparentBlt(QPainter& painter, const QRect& dst, const QImage& src, COLORREF key);

// How many leading characters of text fit in width pixels (0 .. size).
int fitCount(const QFont& font, const std::u16string& text, int width);
int textWidth(const QFont& font, const std::u16string& text);

// text cut on the right to what fits in width with "..." after it, whole
// characters only; whole when it fits, unless more says that text goes on
// beyond what is given. Never empty for a non-empty text: "..." at the least.
std::u16string elideRight(const QFont& font, const std::u16string& text, int width, bool more = false);

// One line of text in a room width pixels wide: in font when it fits, else
// in the largest smaller pixel size down to minPixelSize where it does, else
// at minPixelSize cut on the right with "..." (its start stays readable).
struct FittedLine {
    QFont font;
    std::u16string text;
};
FittedLine fitLine(const QFont& font, const std::u16string& text, int width, int minPixelSize);

} // namespace ce::dlg
