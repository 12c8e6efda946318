#include "wifi/views/screen_styles.h"

#include <QLabel>
#include <QPixmap>
#include <QPixmapCache>
#include <QPushButton>

namespace kivowifi {

QString screenButtonStyleSheet(int width)
{
    return QStringLiteral("QPushButton:enabled{                          border-width: %100px;                          "
                          "border-image: url(:/Button/button_normal.png) stretch;}                          "
                          "QPushButton:pressed{                          "
                          "border-image: url(:/Button/button_normal_p.png) stretch;}")
        .arg(width);
}

QPixmap skinPixmap(const QString& path)
{
    const QString key = QStringLiteral("kivowifi-skin:") + path;
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap))
        return pixmap;
    pixmap.load(path);
    if (!pixmap.isNull())
        QPixmapCache::insert(key, pixmap);
    return pixmap;
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

void setButtonSymbol(QPushButton* button, const QString& image)
{
    if (!button)
        return;
    auto* symbol = button->findChild<QLabel*>(QStringLiteral("ButtonSymbol"), Qt::FindDirectChildrenOnly);
    if (!symbol) {
        symbol = new QLabel(button);
        symbol->setObjectName(QStringLiteral("ButtonSymbol"));
        symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
        // The footers' style sheets give every widget the page's picture.
        symbol->setStyleSheet(QStringLiteral("QLabel{ background: transparent; background-image: none; border: none; }"));
    }
    const QPixmap pixmap(image);
    symbol->setPixmap(pixmap);
    symbol->resize(pixmap.size());
    symbol->move((button->width() - pixmap.width()) / 2, (button->height() - pixmap.height()) / 2);
    symbol->show();
}

} // namespace kivowifi
