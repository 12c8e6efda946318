// phxWidget: a plain widget that paints a background image.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QWidget>

class ZYRCONTROLS_EXPORT phxWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap Background READ Background WRITE setBackground DESIGNABLE true SCRIPTABLE true STORED true)
public:
    explicit phxWidget(QWidget* parent = nullptr);
    ~phxWidget() override;

    QPixmap Background() const { return m_background; }
    // Does not repaint.
    void setBackground(const QPixmap& background);
    // Scales the background to the widget (keeping its aspect ratio) instead
    // of drawing it at its own size.
    void setAutoFillBG(bool autoFill);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_background;
    bool m_autoFill = false;
};
