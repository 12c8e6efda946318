// Style sheets shared by the screens' plain buttons and lists.
#pragma once

#include <QString>

namespace kivowifi {

// The plain screen button: border images stretched, the border as wide as
// `width` (the width of ":/Button/b_normal.png" unless a screen fixes it).
QString screenButtonStyleSheet(int width);
// The width of ":/Button/b_normal.png" (0 when the skin lacks it).
int normalButtonWidth();
// A list's background: the main background by day, dark grey otherwise.
QString listStyleSheet(const QString& mode);

} // namespace kivowifi
