// The on-screen keyboard's images, carried by the keyboard's host program
// (KivoWiFi's common resource file).
#include "art.h"

#include <algorithm>

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

// Keys: a light face inset from its neighbours (the rows have no spacing);
// pressed faces take the accent.
void keyFace(QPainter& p, const QRect& r, bool pressed)
{
    const QRectF face = QRectF(r).adjusted(1.5, 1.5, -1.5, -1.5);
    QLinearGradient fill(face.topLeft(), face.bottomLeft());
    if (pressed) {
        fill.setColorAt(0, QColor(255, 206, 110));
        fill.setColorAt(1, kAccentPressed);
    } else {
        fill.setColorAt(0, QColor(246, 248, 250));
        fill.setColorAt(1, QColor(206, 212, 220));
    }
    p.setPen(QPen(QColor(110, 118, 130), 1));
    p.setBrush(fill);
    p.drawRoundedRect(face, 5, 5);
}

const QColor kKeyGlyph(48, 54, 64);

// The glyphs of the keys that show no text.
enum class Glyph { None, Delete, Space, HideKeyboard, ToSmall, ToCapitals, Symbols };

void drawGlyph(QPainter& p, const QRect& r, Glyph glyph)
{
    const QRectF b = glyphBox(r, 0.5);
    const qreal w = b.width();
    p.setPen(QPen(kKeyGlyph, std::max<qreal>(2, w / 10), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    switch (glyph) {
    case Glyph::None:
        break;
    case Glyph::Delete: {
        // A tag pointing left with a cross in it.
        QPolygonF tag;
        tag << QPointF(b.left(), b.center().y()) << QPointF(b.left() + w * 0.3, b.top() + w * 0.2)
            << QPointF(b.right(), b.top() + w * 0.2) << QPointF(b.right(), b.bottom() - w * 0.2)
            << QPointF(b.left() + w * 0.3, b.bottom() - w * 0.2);
        p.drawPolygon(tag);
        const QPointF c(b.left() + w * 0.63, b.center().y());
        const qreal d = w * 0.15;
        p.drawLine(c + QPointF(-d, -d), c + QPointF(d, d));
        p.drawLine(c + QPointF(-d, d), c + QPointF(d, -d));
        break;
    }
    case Glyph::Space: {
        QPolygonF bracket;
        bracket << QPointF(b.left(), b.center().y()) << QPointF(b.left(), b.bottom() - w * 0.25)
                << QPointF(b.right(), b.bottom() - w * 0.25) << QPointF(b.right(), b.center().y());
        p.drawPolyline(bracket);
        break;
    }
    case Glyph::HideKeyboard: {
        // A small keyboard above a chevron pointing down.
        const QRectF board(b.left(), b.top(), w, w * 0.5);
        p.drawRoundedRect(board, 2, 2);
        for (int i = 1; i < 4; ++i)
            p.drawPoint(QPointF(board.left() + board.width() * i / 4, board.center().y()));
        QPolygonF chevron;
        chevron << QPointF(b.left() + w * 0.3, b.top() + w * 0.68) << QPointF(b.center().x(), b.bottom())
                << QPointF(b.right() - w * 0.3, b.top() + w * 0.68);
        p.drawPolyline(chevron);
        break;
    }
    case Glyph::ToSmall:
    case Glyph::ToCapitals: {
        // The shift arrow: hollow for small letters, filled for capitals.
        QPolygonF arrow;
        arrow << QPointF(b.center().x(), b.top()) << QPointF(b.right(), b.center().y())
              << QPointF(b.right() - w * 0.28, b.center().y()) << QPointF(b.right() - w * 0.28, b.bottom())
              << QPointF(b.left() + w * 0.28, b.bottom()) << QPointF(b.left() + w * 0.28, b.center().y())
              << QPointF(b.left(), b.center().y());
        if (glyph == Glyph::ToCapitals)
            p.setBrush(kKeyGlyph);
        p.drawPolygon(arrow);
        break;
    }
    case Glyph::Symbols: {
        // A number sign.
        const qreal a = w * 0.3, c = w * 0.7;
        p.drawLine(QPointF(b.left() + a + w * 0.06, b.top()), QPointF(b.left() + a - w * 0.06, b.bottom()));
        p.drawLine(QPointF(b.left() + c + w * 0.06, b.top()), QPointF(b.left() + c - w * 0.06, b.bottom()));
        p.drawLine(QPointF(b.left(), b.top() + a), QPointF(b.right(), b.top() + a));
        p.drawLine(QPointF(b.left(), b.top() + c), QPointF(b.right(), b.top() + c));
        break;
    }
    }
}

Paint key(bool pressed, Glyph glyph = Glyph::None)
{
    return [=](QPainter& p, const QRect& r, const Theme&) {
        keyFace(p, r, pressed);
        drawGlyph(p, r, glyph);
    };
}

// Each drawn at the size of its key in its row: five keys share 241 pixels,
// six keys on the letters' bottom rows; rows are 54 high inside their margin.
const ArtRows rows({
    { "Bkgd/bkgd_KB_ExtendedCharacters.mif", 200, 46, Common, extendedCharactersPanel },

    { "keyboard/keyboard_a/b_key_ABC.png", 48, 54, Common, key(false) },
    { "keyboard/keyboard_a/b_key_ABC_p.png", 48, 54, Common, key(true) },

    { "keyboard/keyboard_ABC/b_key_ABC_a.png", 40, 54, Common, key(false, Glyph::ToSmall) },
    { "keyboard/keyboard_ABC/b_key_ABC_a_p.png", 40, 54, Common, key(true, Glyph::ToSmall) },
    { "keyboard/keyboard_ABC/b_key_ABC_delete.png", 40, 54, Common, key(false, Glyph::Delete) },
    { "keyboard/keyboard_ABC/b_key_ABC_delete_p.png", 40, 54, Common, key(true, Glyph::Delete) },
    { "keyboard/keyboard_ABC/b_key_ABC_space.png", 40, 54, Common, key(false, Glyph::Space) },
    { "keyboard/keyboard_ABC/b_key_ABC_space_p.png", 40, 54, Common, key(true, Glyph::Space) },
    { "keyboard/keyboard_ABC/b_key_ABC_v_w.png", 40, 54, Common, key(false, Glyph::HideKeyboard) },
    { "keyboard/keyboard_ABC/b_key_ABC_v_p.png", 40, 54, Common, key(true, Glyph::HideKeyboard) },
    { "keyboard/b_key_a_A.png", 40, 54, Common, key(false, Glyph::ToCapitals) },
    { "keyboard/b_key_a_A_p.png", 40, 54, Common, key(true, Glyph::ToCapitals) },

    { "keyboard/keyboard_a/b_key_a_symbol.png", 48, 54, Common, key(false, Glyph::Symbols) },
    { "keyboard/keyboard_a/b_key_a_symbol_p.png", 48, 54, Common, key(true, Glyph::Symbols) },
    { "keyboard/keyboard_a/b_key_a_delete.png", 48, 54, Common, key(false, Glyph::Delete) },
    { "keyboard/keyboard_a/b_key_a_delete_p.png", 48, 54, Common, key(true, Glyph::Delete) },
    { "keyboard/keyboard_a/b_key_a_space.png", 48, 54, Common, key(false, Glyph::Space) },
    { "keyboard/keyboard_a/b_key_a_space_p.png", 48, 54, Common, key(true, Glyph::Space) },
    { "keyboard/keyboard_a/b_key_a_v_w.png", 48, 54, Common, key(false, Glyph::HideKeyboard) },
    { "keyboard/keyboard_a/b_key_a_v_p.png", 48, 54, Common, key(true, Glyph::HideKeyboard) },
});

} // namespace
