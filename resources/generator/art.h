// The generator's art: the types every table of images shares, the drawing
// helpers, and the registry through which each area's table joins the output.
//
// An area adds its images in a file of its own (art_<area>.cpp) with
//     static const kivo_art::ArtRows rows({ { "path.png", w, h, kivo_art::Zyr, paint }, ... });
// and the generator draws them with KivoWiFi's own table.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

namespace kivo_art {

struct Theme {
    bool night;
    QColor page; // backgrounds of lists and pages
    QColor bar; // title and footer bars
    QColor barEdge;
    QColor row; // list rows
    QColor rowPressed;
    QColor line;
    QColor dialog;
};

// Labels the screens leave unstyled draw black text on the page and the
// bars, so those stay light enough for it in both modes; the night pages are
// dimmer. Rows and dialogs, whose texts the screens colour, follow the mode.
inline const Theme kDay = { false, QColor(236, 238, 240), QColor(128, 170, 218), QColor(86, 128, 178), QColor(248, 249, 250),
    QColor(255, 196, 64), QColor(190, 194, 200), QColor(40, 44, 52) };
inline const Theme kNight = { true, QColor(170, 174, 180), QColor(112, 120, 132), QColor(80, 86, 96), QColor(62, 64, 68),
    QColor(150, 98, 18), QColor(90, 94, 100), QColor(20, 22, 26) };

enum class Look { Normal, Pressed, Disabled };

inline const QColor kAccent(46, 120, 200);
inline const QColor kAccentPressed(255, 176, 32);
inline const QColor kDisabled(150, 150, 150);
inline const QColor kGlyph(255, 255, 255);
inline const QColor kGreen(60, 170, 80);
inline const QColor kRed(224, 84, 72);

using Paint = std::function<void(QPainter&, const QRect&, const Theme&)>;

// Common and Themed go into KivoWiFi's resource files (Themed once per
// day/night mode); Zyr into zyrControls' own skin file, ZyrControlsSkin.bin;
// Bt into KivoBT's resource file, KivoBTRes.bin.
enum Bundle { Common, Themed, Zyr, Bt };

struct Art {
    QString path; // resource path below ":/"
    int width;
    int height;
    Bundle bundle;
    Paint paint;
};

QColor buttonColor(Look look, QColor normal = kAccent);
Paint button(Look look, QColor normal = kAccent, qreal radius = 6);
Paint fill(std::function<QColor(const Theme&)> color);
Paint bar(bool edgeAtBottom);
Paint row(bool pressed);
QRectF glyphBox(const QRect& r, qreal scale = 0.6);
// direction: 0 up, 1 down, 2 left, 3 right
void drawArrow(QPainter& p, const QRectF& b, int direction);
Paint arrowButton(Look look, int direction, QColor normal = kAccent);
void drawTick(QPainter& p, const QRectF& b, QColor color);
Paint tick(QColor color);
// The symbols the screens set on their plain footer buttons, white on
// transparent (readable on the accent face in either mode).
enum class Symbol { Exit, Join, Back };
Paint buttonSymbol(Symbol symbol);
Paint signal(int bars, bool locked);
Paint spinner(int frame, int count);
Paint connecting(int frame);
Paint field();
Paint dialogBackground();
Paint shadow();
Paint radioMark(bool checked);

// Every area's rows, in registration order.
std::vector<Art>& registeredArt();
struct ArtRows {
    explicit ArtRows(std::vector<Art> rows);
};

} // namespace kivo_art
