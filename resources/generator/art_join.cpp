// KivoWiFi's add-network screen: the security selector, whose label covers
// the button from the left, so its arrow sits at the right end.
#include "art.h"

namespace {

using namespace kivo_art;

Paint selector(Look look)
{
    return [=](QPainter& p, const QRect& r, const Theme& t) {
        button(look)(p, r, t);
        const qreal side = r.height() * 0.4;
        drawArrow(p, QRectF(r.right() - 6 - side, r.center().y() + 0.5 - side / 2, side, side), 3);
    };
}

const ArtRows rows({
    { "Join_network/b_security.png", 210, 35, Common, selector(Look::Normal) },
    { "Join_network/b_security_p.png", 210, 35, Common, selector(Look::Pressed) },
});

} // namespace
