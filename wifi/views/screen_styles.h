// Style sheets shared by the screens' plain buttons and lists.
#pragma once

#include <QPixmap>
#include <QString>

class QPushButton;

namespace kivowifi {

// The plain screen button: border images stretched, the border as wide as
// `width` (the width of ":/Button/b_normal.png" unless a screen fixes it).
QString screenButtonStyleSheet(int width);
// The width of ":/Button/b_normal.png" (0 when the skin lacks it).
int normalButtonWidth();
// A list's background: the main background by day, dark grey otherwise.
QString listStyleSheet(const QString& mode);

// A skin picture drawn again and again (a frame of a loading or connecting
// animation, a list row's icon painted on every repaint): loaded once, then
// taken from the pixmap cache, which a change of skin clears. Loading it by
// path each time would stat the file and turn its time stamp into local
// time, a read of the time zone.
QPixmap skinPixmap(const QString& path);

// The symbols of the footer buttons whose face is the plain ":/Button/b_v.png".
inline constexpr const char* kExitSymbol = ":/Button/i_symbol_exit.png";
inline constexpr const char* kJoinSymbol = ":/Button/i_symbol_join.png";
inline constexpr const char* kBackSymbol = ":/Button/i_symbol_back.png";
// Shows `image` centred on the button, above its face; it moves with the
// button's press shift and lets every touch through to the button.
void setButtonSymbol(QPushButton* button, const QString& image);

} // namespace kivowifi
