// KivoBT's bitmaps, by resource id ("KivoBT/<id>.png"). The screens read
// them as plain bitmaps: what must show the screen behind it is painted in
// the key colour magenta (the screens name white as the key, which the
// buttons take as magenta), without antialiasing so no edge pixel is
// half key.
#include "art.h"

namespace {

using namespace kivo_art;

const QColor kKey(255, 0, 255);
const QColor kPage(24, 30, 40);
const QColor kBar(46, 92, 150);

QString id(int n)
{
    return QStringLiteral("KivoBT/%1.png").arg(n);
}

// A rounded face on the key colour.
Paint keyed(QColor face, qreal radius = 8)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(r, kKey);
        p.setPen(QPen(face.darker(150), 1));
        p.setBrush(face);
        p.drawRoundedRect(QRectF(r).adjusted(0, 0, -1, -1), radius, radius);
    };
}

// The page behind every screen: dark, with a faint band under the title.
// A button face with a left arrow: back.
Paint backButton(QColor face)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        keyed(face)(p, r, t);
        p.setPen(Qt::NoPen);
        p.setBrush(kGlyph);
        drawArrow(p, glyphBox(r, 0.5), 2);
    };
}

Paint page()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.fillRect(r, kPage);
        p.fillRect(QRect(r.left(), r.top() + 27, r.width(), 6), kPage.lighter(130));
    };
}

Paint titleBar()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.fillRect(r, kBar);
        p.setPen(kBar.lighter(140));
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    };
}

// An on/off switch on a row face: on shows green to the right, off grey to
// the left; a row that is not linked is greyed.
Paint toggle(bool on, bool pressed, bool linked)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        const QColor face = !linked ? QColor(90, 94, 100) : pressed ? kAccentPressed : kAccent;
        keyed(face)(p, r, t);
        p.setRenderHint(QPainter::Antialiasing, false);
        const QRect track(r.right() - 58, r.center().y() - 10, 48, 20);
        p.setPen(Qt::NoPen);
        p.setBrush(on ? (linked ? kGreen : QColor(120, 150, 120)) : QColor(160, 160, 160));
        p.drawRoundedRect(track, 10, 10);
        p.setBrush(Qt::white);
        p.drawEllipse(on ? QRect(track.right() - 19, track.top() + 1, 18, 18) : QRect(track.left() + 1, track.top() + 1, 18, 18));
    };
}

std::vector<Art> art()
{
    const QColor off(120, 124, 132);
    std::vector<Art> a = {
        { id(138), 240, 400, Bt, page() },
        { id(139), 240, 27, Bt, titleBar() },
        // Bluetooth Off and On: the lit face is the state in force.
        { id(281), 108, 45, Bt, keyed(off) },
        { id(282), 108, 45, Bt, keyed(kRed) },
        { id(283), 109, 45, Bt, keyed(off) },
        { id(284), 109, 45, Bt, keyed(kGreen) },
        // Back.
        { id(285), 156, 43, Bt, backButton(kAccent) },
        { id(1091), 156, 43, Bt, backButton(kAccentPressed) },
        // Wide row buttons: normal, pressed, and the face of a phone not linked.
        { id(233), 210, 45, Bt, keyed(kAccent) },
        { id(234), 210, 45, Bt, keyed(kAccentPressed) },
        { id(297), 210, 45, Bt, keyed(off) },
        // Service toggles.
        { id(290), 210, 45, Bt, toggle(true, false, true) },
        { id(291), 210, 45, Bt, toggle(true, true, true) },
        { id(292), 210, 45, Bt, toggle(false, false, true) },
        { id(293), 210, 45, Bt, toggle(false, true, true) },
        { id(294), 210, 45, Bt, toggle(true, false, false) },
        { id(295), 210, 45, Bt, toggle(false, false, false) },
    };
    return a;
}

const ArtRows rows(art());

} // namespace
