// Drawing helpers shared by every table of images.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace kivo_art {

QColor buttonColor(Look look, QColor normal)
{
    switch (look) {
    case Look::Pressed:
        return kAccentPressed;
    case Look::Disabled:
        return kDisabled;
    default:
        return normal;
    }
}

// A flat rounded button face with a thin darker edge.
Paint button(Look look, QColor normal, qreal radius)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        QColor face = buttonColor(look, normal);
        p.setPen(QPen(face.darker(140), 1));
        p.setBrush(face);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    };
}

Paint fill(std::function<QColor(const Theme&)> color)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) { p.fillRect(r, color(t)); };
}

// A bar with a one-pixel edge at the bottom (title bars) or top (footers).
Paint bar(bool edgeAtBottom)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        p.fillRect(r, t.bar);
        p.setPen(t.barEdge);
        int y = edgeAtBottom ? r.bottom() : r.top();
        p.drawLine(r.left(), y, r.right(), y);
    };
}

Paint row(bool pressed)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        p.fillRect(r, pressed ? t.rowPressed : t.row);
        p.setPen(t.line);
        p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    };
}

// Glyphs are drawn inside a centred square of the image.
QRectF glyphBox(const QRect& r, qreal scale)
{
    qreal side = std::min(r.width(), r.height()) * scale;
    return QRectF(r.center().x() + 0.5 - side / 2, r.center().y() + 0.5 - side / 2, side, side);
}

void drawArrow(QPainter& p, const QRectF& b, int direction) // 0 up, 1 down, 2 left, 3 right
{
    QPolygonF tri;
    switch (direction) {
    case 0:
        tri << QPointF(b.center().x(), b.top()) << b.bottomRight() << b.bottomLeft();
        break;
    case 1:
        tri << b.topLeft() << b.topRight() << QPointF(b.center().x(), b.bottom());
        break;
    case 2:
        tri << QPointF(b.left(), b.center().y()) << b.topRight() << b.bottomRight();
        break;
    default:
        tri << b.topLeft() << QPointF(b.right(), b.center().y()) << b.bottomLeft();
        break;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kGlyph);
    p.drawPolygon(tri);
}

Paint arrowButton(Look look, int direction, QColor normal)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        button(look, normal)(p, r, t);
        drawArrow(p, glyphBox(r, 0.45), direction);
    };
}

void drawTick(QPainter& p, const QRectF& b, QColor color)
{
    QPainterPath path;
    path.moveTo(b.left(), b.top() + b.height() * 0.55);
    path.lineTo(b.left() + b.width() * 0.38, b.bottom() - b.height() * 0.1);
    path.lineTo(b.right(), b.top() + b.height() * 0.12);
    p.setPen(QPen(color, std::max<qreal>(2, b.width() / 7), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

Paint tick(QColor color)
{
    return [=](QPainter& p, const QRect& r, const Theme&) { drawTick(p, glyphBox(r, 0.8), color); };
}

Paint buttonSymbol(Symbol symbol)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const QRectF b = glyphBox(r, 0.72);
        const qreal stroke = std::max<qreal>(3, b.width() / 6);
        p.setPen(QPen(kGlyph, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        switch (symbol) {
        case Symbol::Exit: // a cross
            p.drawLine(b.topLeft(), b.bottomRight());
            p.drawLine(b.topRight(), b.bottomLeft());
            break;
        case Symbol::Join:
            drawTick(p, b, kGlyph);
            break;
        case Symbol::Back: { // an arrow pointing left
            const qreal y = b.center().y();
            QPainterPath path;
            path.moveTo(b.right(), y);
            path.lineTo(b.left(), y);
            path.moveTo(b.left() + b.width() * 0.45, b.top());
            path.lineTo(b.left(), y);
            path.lineTo(b.left() + b.width() * 0.45, b.bottom());
            p.drawPath(path);
            break;
        }
        }
    };
}

// Signal strength: four rising bars, the first `bars` of them lit; a small
// padlock at the left for secured networks.
Paint signal(int bars, bool locked)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const qreal barWidth = r.width() / 9.0;
        for (int i = 0; i < 4; ++i) {
            qreal h = r.height() * (0.3 + 0.2 * i);
            QRectF b(r.left() + r.width() * 0.45 + i * barWidth * 1.3, r.bottom() + 1 - h, barWidth, h);
            p.fillRect(b, i < bars ? kAccent : kDisabled);
        }
        if (locked) {
            QRectF body(r.left() + 2, r.top() + r.height() * 0.45, r.width() * 0.32, r.height() * 0.45);
            p.setPen(QPen(kRed, 2));
            p.setBrush(Qt::NoBrush);
            p.drawArc(QRectF(body.left() + body.width() * 0.2, body.top() - body.height() * 0.6, body.width() * 0.6,
                          body.height() * 1.2),
                0, 180 * 16);
            p.setPen(Qt::NoPen);
            p.setBrush(kRed);
            p.drawRect(body);
        }
    };
}

// Frame `frame` of `count` of a spinner: a ring of dots, one of them bright.
Paint spinner(int frame, int count)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const QPointF c = QRectF(r).center();
        const qreal radius = std::min(r.width(), r.height()) * 0.36;
        const qreal dot = std::max<qreal>(2, radius * 0.22);
        for (int i = 0; i < count; ++i) {
            const qreal angle = 2 * M_PI * i / count - M_PI / 2;
            const int age = ((frame - 1 - i) % count + count) % count;
            QColor color = kAccent;
            color.setAlpha(255 - age * 200 / count);
            p.setPen(Qt::NoPen);
            p.setBrush(color);
            p.drawEllipse(QPointF(c.x() + radius * std::cos(angle), c.y() + radius * std::sin(angle)), dot, dot);
        }
    };
}

// Two alternating frames of a "connecting" mark: arcs growing out of a dot.
Paint connecting(int frame)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        const QPointF base(r.center().x() + 0.5, r.bottom() - r.height() * 0.15);
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(base, 2.5, 2.5);
        p.setBrush(Qt::NoBrush);
        for (int i = 1; i <= frame + 1; ++i) {
            qreal rad = r.height() * 0.22 * i;
            p.setPen(QPen(kAccent, 2.5));
            p.drawArc(QRectF(base.x() - rad, base.y() - rad, 2 * rad, 2 * rad), 45 * 16, 90 * 16);
        }
    };
}

Paint field()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(QColor(120, 124, 130), 1));
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    };
}

Paint dialogBackground()
{
    return [](QPainter& p, const QRect& r, const Theme& t) {
        p.fillRect(r, t.dialog);
        p.setPen(QPen(t.dialog.lighter(180), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(r).adjusted(8, 90, -8, -90), 8, 8);
    };
}

Paint shadow()
{
    return [](QPainter& p, const QRect& r, const Theme& t) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, t.page.darker(115));
        g.setColorAt(0.08, t.page);
        g.setColorAt(1, t.page);
        p.fillRect(r, g);
    };
}

std::vector<Art>& registeredArt()
{
    static std::vector<Art> rows;
    return rows;
}

ArtRows::ArtRows(std::vector<Art> rows)
{
    auto& all = registeredArt();
    all.insert(all.end(), std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
}

} // namespace kivo_art
