// What the generated forms of the screens and rows have in common.
#pragma once

#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

namespace kivowifi::forms {

template <typename W> W* place(QWidget* parent, const char* name, const QRect& geometry)
{
    W* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

inline QLabel* pictureLabel(QWidget* parent, const char* name, const QRect& geometry, const char* picture)
{
    QLabel* l = place<QLabel>(parent, name, geometry);
    l->setPixmap(QPixmap(QLatin1String(picture)));
    return l;
}

} // namespace kivowifi::forms
