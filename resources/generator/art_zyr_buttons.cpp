// zyrControls' skins for its buttons, marks, status indicator and frame
// animation. The centre pixel of every face and mark has a colour of its
// own, so a screenshot tells the states apart.
#include "art.h"

namespace {

using namespace kivo_art;

const QColor kMarkFrame(70, 74, 80);
const QColor kFocus(120, 60, 200);

// A check-box square with an optional tick.
Paint checkMark(bool checked, QColor tickColor)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(checked ? tickColor.darker(130) : kMarkFrame, 2));
        p.setBrush(checked ? tickColor : QColor(255, 255, 255));
        p.drawRoundedRect(QRectF(r).adjusted(1, 1, -1, -1), 3, 3);
        if (checked)
            drawTick(p, glyphBox(r, 0.55), kGlyph);
    };
}

} // namespace

// A radio ring with an optional dot: zyrControls' own skin and KivoWiFi's
// chooser rows.
Paint kivo_art::radioMark(bool checked)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        p.setPen(QPen(kMarkFrame, 2));
        p.setBrush(QColor(255, 255, 255));
        p.drawEllipse(QRectF(r).adjusted(1, 1, -1, -1));
        if (checked) {
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawEllipse(QRectF(r).adjusted(6, 6, -6, -6));
        }
    };
}

namespace {

std::vector<Art> rows()
{
    std::vector<Art> art = {
        { "ZyrCheck/checked.png", 24, 24, Zyr, checkMark(true, kGreen) },
        { "ZyrCheck/unchecked.png", 24, 24, Zyr, checkMark(false, kGreen) },
        { "ZyrCheck/checked_grayed.png", 24, 24, Zyr, checkMark(true, kDisabled) },
        { "ZyrRadio/checked.png", 24, 24, Zyr, radioMark(true) },
        { "ZyrRadio/unchecked.png", 24, 24, Zyr, radioMark(false) },
        { "ZyrPush/normal.png", 120, 40, Zyr, button(Look::Normal) },
        { "ZyrPush/pressed.png", 120, 40, Zyr, button(Look::Pressed) },
        { "ZyrPush/focused.png", 120, 40, Zyr, button(Look::Normal, kFocus) },
        { "ZyrPush/disabled.png", 120, 40, Zyr, button(Look::Disabled) },
    };
    for (int level = 1; level <= 3; ++level)
        art.push_back({ QStringLiteral("ZyrStatus/status_%1.png").arg(level), 24, 20, Zyr, signal(level + 1, false) });
    for (int frame = 1; frame <= 4; ++frame)
        art.push_back({ QStringLiteral("ZyrAnimation/frame_%1.png").arg(frame), 30, 30, Zyr, spinner(frame, 4) });
    return art;
}

const ArtRows registered(rows());

} // namespace
