// The masked input widget's keypad arrows: at rest and while the key is
// held.
#include "art.h"

namespace {

using namespace kivo_art;

Paint adjustArrow(bool up, bool held)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(Qt::NoPen);
        p.setBrush(held ? kAccentPressed : kAccent);
        const QRectF b = QRectF(r).adjusted(2, 2, -2, -2);
        QPolygonF triangle;
        if (up)
            triangle << QPointF(b.center().x(), b.top()) << b.bottomRight() << b.bottomLeft();
        else
            triangle << b.topLeft() << b.topRight() << QPointF(b.center().x(), b.bottom());
        p.drawPolygon(triangle);
    };
}

const ArtRows registered({
    { "Buttons/b_KB_AdjustUp_off.mif", 24, 14, Zyr, adjustArrow(true, false) },
    { "Buttons/b_KB_AdjustUp_on.mif", 24, 14, Zyr, adjustArrow(true, true) },
    { "Buttons/b_KB_AdjustDown_off.mif", 24, 14, Zyr, adjustArrow(false, false) },
    { "Buttons/b_KB_AdjustDown_on.mif", 24, 14, Zyr, adjustArrow(false, true) },
});

} // namespace
