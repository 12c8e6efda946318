// zyrControls' default skins for its phx widgets: flat button faces, one per
// state, an icon whose mark sits off its centre (so a rotation shows), a
// background and a list row.
#include "art.h"

namespace {

using namespace kivo_art;

Paint flat(QColor color)
{
    return [=](QPainter& p, const QRect& r, const Theme&) { p.fillRect(r, color); };
}

// A light square with a dark mark in its upper left quarter.
Paint offCentreMark()
{
    return [](QPainter& p, const QRect& r, const Theme&) {
        p.fillRect(r, QColor(240, 240, 240));
        p.fillRect(QRect(r.left() + r.width() / 10, r.top() + r.height() / 10, r.width() / 4, r.height() / 4),
            QColor(30, 30, 120));
    };
}

const ArtRows rows({
    { "phx/button_normal.png", 76, 43, Zyr, flat(kAccent) },
    { "phx/button_pressed.png", 76, 43, Zyr, flat(kAccentPressed) },
    { "phx/button_focused.png", 76, 43, Zyr, flat(kGreen) },
    { "phx/button_disabled.png", 76, 43, Zyr, flat(kDisabled) },
    { "phx/icon_mark.png", 40, 40, Zyr, offCentreMark() },
    { "phx/background.png", 60, 40, Zyr, flat(QColor(200, 210, 90)) },
    { "phx/row.png", 240, 47, Zyr, row(false) },
});

} // namespace
