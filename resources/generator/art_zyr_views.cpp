// zyrControls' skins for its pop-up frames, spin boxes and slider.
#include "art.h"

namespace {

using namespace kivo_art;

const QColor kFrame(52, 56, 64);
const QColor kFrameEdge(120, 126, 136);

// The top or bottom of a dialog frame: rounded on the outer side.
Paint frameEnd(bool top)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        QPainterPath path;
        const QRectF box = QRectF(r).adjusted(0.5, top ? 0.5 : -12, -0.5, top ? 12 : -0.5);
        path.addRoundedRect(box, 10, 10);
        p.setClipRect(r);
        p.setPen(QPen(kFrameEdge, 1));
        p.setBrush(kFrame);
        p.drawPath(path);
    };
}

// The middle of a dialog frame: the edges only, tiled down.
Paint frameFill()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.fillRect(r, kFrame);
        p.setPen(kFrameEdge);
        p.drawLine(r.left(), r.top(), r.left(), r.bottom());
        p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    };
}

Paint spinBackground()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(kFrameEdge, 1));
        p.setBrush(QColor(250, 250, 250));
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    };
}

Paint sliderBar()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(kFrameEdge, 1));
        p.setBrush(QColor(220, 222, 226));
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    };
}

Paint sliderPointer(QColor color)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(color.darker(140), 1));
        p.setBrush(color);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    };
}

// A round button with a minus or a plus.
Paint sign(bool plus)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        button(Look::Normal, kAccent, r.height() / 2.0)(p, r, t);
        const QRectF g = glyphBox(r, 0.5);
        p.setPen(QPen(kGlyph, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(g.left(), g.center().y()), QPointF(g.right(), g.center().y()));
        if (plus)
            p.drawLine(QPointF(g.center().x(), g.top()), QPointF(g.center().x(), g.bottom()));
    };
}

const ArtRows registered({
    { "ZyrPopup/top.png", 220, 24, Zyr, frameEnd(true) },
    { "ZyrPopup/fill.png", 220, 8, Zyr, frameFill() },
    { "ZyrPopup/bottom.png", 220, 30, Zyr, frameEnd(false) },
    { "ZyrPopup/brush.png", 8, 8, Zyr, fill([](const Theme&) { return QColor(0, 0, 0, 140); }) },
    { "ZyrSpin/up.png", 44, 26, Zyr, arrowButton(Look::Normal, 0) },
    { "ZyrSpin/up_p.png", 44, 26, Zyr, arrowButton(Look::Pressed, 0) },
    { "ZyrSpin/down.png", 44, 26, Zyr, arrowButton(Look::Normal, 1) },
    { "ZyrSpin/down_p.png", 44, 26, Zyr, arrowButton(Look::Pressed, 1) },
    { "ZyrSpin/background.png", 44, 30, Zyr, spinBackground() },
    { "ZyrSlider/grad.png", 158, 16, Zyr, sliderBar() },
    { "ZyrSlider/filler.png", 30, 12, Zyr, fill([](const Theme&) { return kAccent; }) },
    { "ZyrSlider/pointer.png", 12, 28, Zyr, sliderPointer(QColor(250, 250, 250)) },
    { "ZyrSlider/pointer_focus.png", 12, 28, Zyr, sliderPointer(kAccentPressed) },
    { "ZyrSlider/minus.png", 28, 28, Zyr, sign(false) },
    { "ZyrSlider/plus.png", 28, 28, Zyr, sign(true) },
    { "ZyrCombo/box.png", 200, 40, Zyr, field() },
    { "ZyrCombo/box_p.png", 200, 40, Zyr, button(Look::Pressed, kAccent, 4) },
    { "ZyrCombo/box_f.png", 200, 40, Zyr, button(Look::Normal, QColor(220, 232, 248), 4) },
    { "ZyrCombo/arrow.png", 30, 30, Zyr, arrowButton(Look::Normal, 1) },
    { "ZyrCombo/arrow_p.png", 30, 30, Zyr, arrowButton(Look::Pressed, 1) },
    { "ZyrCombo/item.png", 184, 40, Zyr, row(false) },
    { "ZyrCombo/item_f.png", 184, 40, Zyr, fill([](const Theme&) { return QColor(200, 220, 245); }) },
    { "ZyrCombo/item_p.png", 184, 40, Zyr, row(true) },
});

} // namespace
