// The on-screen keyboard's images, carried by the keyboard's host program
// (KivoWiFi's common resource file).
#include "art.h"

namespace {

using namespace kivo_art;

// The extended-character pop-up's panel: stretched over the pop-up, so it
// keeps its edge thin and its fill plain.
void extendedCharactersPanel(QPainter& p, const QRect& r, const Theme&)
{
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(250, 250, 252));
    fill.setColorAt(1, QColor(214, 220, 230));
    p.setPen(QPen(QColor(96, 110, 130), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

const ArtRows rows({
    { "Bkgd/bkgd_KB_ExtendedCharacters.mif", 200, 46, Common, extendedCharactersPanel },
});

} // namespace
