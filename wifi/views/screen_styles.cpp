#include "wifi/views/screen_styles.h"

#include <QPixmap>

namespace kivowifi {

QString screenButtonStyleSheet(int width)
{
    return QStringLiteral("QPushButton:enabled{                          border-width: %100px;                          "
                          "border-image: url(:/Button/button_normal.png) stretch;}                          "
                          "QPushButton:pressed{                          "
                          "border-image: url(:/Button/button_normal_p.png) stretch;}")
        .arg(width);
}

int normalButtonWidth()
{
    return QPixmap(QStringLiteral(":/Button/b_normal.png")).width();
}

QString listStyleSheet(const QString& mode)
{
    if (mode == QLatin1String("Day"))
        return QStringLiteral("phxVirtualList{background-image: url(:/Background/main_bg.png);}");
    return QStringLiteral("phxVirtualList{background-color: rgb(65, 65, 65);}");
}

} // namespace kivowifi
