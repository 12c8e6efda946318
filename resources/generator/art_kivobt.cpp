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

// A page with a coloured band under the title: calls green, dialling
// blue, in a call teal.
Paint callPage(QColor band)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        page()(p, r, t);
        p.fillRect(QRect(r.left(), r.top() + 70, r.width(), 130), band.darker(300));
    };
}

// A button face with a glyph: 0 handset, 1 handset down, 2 minus, 3 plus,
// 4 minimise bar, 5 previous track, 6 play/pause, 7 next track, 8 a note
// (the track now playing).
Paint glyphButton(QColor face, int glyph)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        keyed(face)(p, r, t);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(kGlyph);
        const QRectF b = glyphBox(r, 0.5);
        const qreal bar = 4;
        const auto triangle = [&](qreal left, qreal right) {
            const QPointF points[3] = { { left, b.top() }, { right, b.center().y() }, { left, b.bottom() } };
            p.drawPolygon(points, 3);
        };
        switch (glyph) {
        case 0:
        case 1: {
            p.save();
            p.translate(b.center());
            p.rotate(glyph == 0 ? -30 : 135);
            p.drawRoundedRect(QRectF(-b.width() / 2, -b.height() / 8, b.width(), b.height() / 4), 3, 3);
            p.restore();
            break;
        }
        case 2:
            p.drawRect(QRectF(b.left(), b.center().y() - 2, b.width(), 4));
            break;
        case 3:
            p.drawRect(QRectF(b.left(), b.center().y() - 2, b.width(), 4));
            p.drawRect(QRectF(b.center().x() - 2, b.top(), 4, b.height()));
            break;
        case 5:
            p.drawRect(QRectF(b.left(), b.top(), bar, b.height()));
            triangle(b.right(), b.left() + bar);
            break;
        case 6:
            triangle(b.left(), b.center().x());
            p.drawRect(QRectF(b.center().x() + 3, b.top(), bar, b.height()));
            p.drawRect(QRectF(b.right() - bar, b.top(), bar, b.height()));
            break;
        case 7:
            triangle(b.left(), b.right() - bar);
            p.drawRect(QRectF(b.right() - bar, b.top(), bar, b.height()));
            break;
        case 8:
            p.drawEllipse(QRectF(b.left(), b.bottom() - b.height() / 3, b.width() / 2, b.height() / 3));
            p.drawRect(QRectF(b.left() + b.width() / 2 - bar, b.top(), bar, b.height() * 5 / 6));
            p.drawRect(QRectF(b.left() + b.width() / 2 - bar, b.top(), b.width() / 2, bar));
            break;
        default:
            p.drawRect(QRectF(b.left(), b.bottom() - 5, b.width(), 5));
            break;
        }
    };
}

// One frame of the busy animation: a ring of dots with the lit one at
// frame's place, drawn on the page's colour (so the dots' edges blend with
// the page) and the page then turned into the key colour.
Paint busy(int frame)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        QImage dots(r.size(), QImage::Format_RGB32);
        dots.fill(kPage);
        {
            QPainter d(&dots);
            d.setRenderHint(QPainter::Antialiasing);
            spinner(frame, 8)(d, dots.rect(), t);
        }
        for (int y = 0; y < dots.height(); ++y)
            for (int x = 0; x < dots.width(); ++x)
                if (dots.pixel(x, y) == kPage.rgb())
                    dots.setPixel(x, y, kKey.rgb());
        p.drawImage(r.topLeft(), dots);
    };
}

// The light panel behind a message's text.
Paint panel()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.fillRect(r, QColor(236, 238, 240));
        p.setPen(QColor(150, 154, 160));
        p.drawRect(r.adjusted(0, 0, -1, -1));
    };
}

// Arrow buttons: direction 0 up, 1 down.
Paint arrowKey(QColor face, int direction)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        keyed(face)(p, r, t);
        p.setPen(Qt::NoPen);
        p.setBrush(kGlyph);
        drawArrow(p, glyphBox(r, 0.5), direction);
    };
}

// A track row of the music list: light, a selected one tinted, a pressed
// one amber.
Paint trackRow(QColor face)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        p.fillRect(r, face);
        p.setPen(QColor(190, 194, 200));
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    };
}

// A list row with its kind's mark in the 40 pixels on the left: an
// envelope for a message, a handset for a missed call.
Paint listRow(bool message, bool pressed)
{
    const Paint row = trackRow(pressed ? QColor(255, 214, 120) : QColor(244, 245, 247));
    return [=](QPainter& p, const QRect& r, const Theme& theme) {
        row(p, r, theme);
        const QRect mark(r.left() + 8, r.center().y() - 9, 24, 18);
        p.setPen(QPen(message ? kAccent : kRed, 2));
        p.setBrush(Qt::NoBrush);
        if (message) {
            p.drawRect(mark);
            p.drawLine(mark.topLeft(), mark.center());
            p.drawLine(mark.topRight(), mark.center());
        } else {
            p.drawArc(mark, 0, 180 * 16);
            p.drawLine(mark.left(), mark.center().y(), mark.right(), mark.center().y());
        }
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
        // Call screens: pages, the bottom strip, answer, ignore, minimise,
        // end and the call volume.
        { id(254), 240, 400, Bt, callPage(kGreen) },
        { id(278), 240, 400, Bt, callPage(kAccent) },
        { id(296), 240, 400, Bt, callPage(QColor(30, 160, 160)) },
        { id(1111), 240, 70, Bt, titleBar() },
        { id(153), 105, 50, Bt, keyed(kGreen) },
        { id(156), 105, 50, Bt, keyed(kAccentPressed) },
        { id(154), 105, 50, Bt, keyed(kRed) },
        { id(262), 105, 50, Bt, keyed(kAccentPressed) },
        { id(275), 100, 50, Bt, glyphButton(off, 4) },
        { id(276), 100, 50, Bt, glyphButton(kAccentPressed, 4) },
        { id(269), 100, 50, Bt, glyphButton(kRed, 1) },
        { id(270), 100, 50, Bt, glyphButton(kAccentPressed, 1) },
        { id(255), 105, 50, Bt, glyphButton(kAccent, 2) },
        { id(256), 105, 50, Bt, glyphButton(kAccentPressed, 2) },
        { id(258), 105, 50, Bt, glyphButton(kAccent, 3) },
        { id(259), 105, 50, Bt, glyphButton(kAccentPressed, 3) },
        // The page of the waiting, pairing and retry screens, and the frames
        // of the busy animation in the order they turn.
        { id(261), 240, 400, Bt, page() },
        { id(151), 76, 76, Bt, busy(1) },
        { id(289), 76, 76, Bt, busy(2) },
        { id(310), 76, 76, Bt, busy(3) },
        { id(311), 76, 76, Bt, busy(4) },
        { id(312), 76, 76, Bt, busy(5) },
        { id(313), 76, 76, Bt, busy(6) },
        { id(314), 76, 76, Bt, busy(7) },
        { id(309), 76, 76, Bt, busy(8) },
        // Message screens: view, the text panel, call, and up and down in
        // their normal, pressed and disabled looks.
        { id(315), 105, 50, Bt, keyed(kAccent) },
        { id(316), 105, 50, Bt, keyed(kAccentPressed) },
        { id(265), 210, 253, Bt, panel() },
        { id(266), 70, 50, Bt, glyphButton(kGreen, 0) },
        { id(267), 70, 50, Bt, glyphButton(kAccentPressed, 0) },
        { id(142), 70, 50, Bt, arrowKey(kAccent, 0) },
        { id(143), 70, 50, Bt, arrowKey(kAccentPressed, 0) },
        { id(144), 70, 50, Bt, arrowKey(off, 0) },
        { id(145), 70, 50, Bt, arrowKey(kAccent, 1) },
        { id(146), 70, 50, Bt, arrowKey(kAccentPressed, 1) },
        { id(147), 70, 50, Bt, arrowKey(off, 1) },
        // Notification rows (message, pressed; missed call, pressed) and
        // the list's close button.
        { id(1112), 240, 45, Bt, listRow(true, false) },
        { id(1113), 240, 45, Bt, listRow(true, true) },
        { id(1114), 240, 45, Bt, listRow(false, false) },
        { id(1115), 240, 45, Bt, listRow(false, true) },
        { id(301), 70, 50, Bt, backButton(kAccent) },
        { id(303), 70, 50, Bt, backButton(kAccentPressed) },
        // Music: the player's page, the track rows (normal, pressed,
        // selected), now playing, and previous, play/pause and next in
        // their normal, pressed and end-of-list looks.
        { id(252), 240, 400, Bt, callPage(QColor(150, 80, 200)) },
        { id(272), 240, 45, Bt, trackRow(QColor(244, 245, 247)) },
        { id(274), 240, 45, Bt, trackRow(QColor(255, 214, 120)) },
        { id(317), 240, 45, Bt, trackRow(QColor(190, 216, 244)) },
        { id(170), 70, 50, Bt, glyphButton(kAccent, 8) },
        { id(171), 70, 50, Bt, glyphButton(kAccentPressed, 8) },
        { id(239), 70, 60, Bt, glyphButton(kAccent, 5) },
        { id(241), 70, 60, Bt, glyphButton(kAccentPressed, 5) },
        { id(240), 70, 60, Bt, glyphButton(off, 5) },
        { id(176), 70, 60, Bt, glyphButton(kAccent, 6) },
        { id(178), 70, 60, Bt, glyphButton(kAccentPressed, 6) },
        { id(236), 70, 60, Bt, glyphButton(kAccent, 7) },
        { id(238), 70, 60, Bt, glyphButton(kAccentPressed, 7) },
        { id(237), 70, 60, Bt, glyphButton(off, 7) },
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
