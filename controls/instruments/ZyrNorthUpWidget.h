// A fixed "north" image in the centre and an arrow that turns around it by
// an angle in degrees (clockwise on screen). The arrow is drawn into a cache
// that is redrawn only when the angle has moved by more than 10 degrees since
// it was last drawn, or after a new image or size.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrNorthUpWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap north READ north WRITE setNorth)
    Q_PROPERTY(QPixmap arrow READ arrow WRITE setArrow)
    Q_PROPERTY(int angle READ angle WRITE setAngle)
public:
    explicit ZyrNorthUpWidget(QWidget* parent = nullptr);

    QPixmap north() const { return m_north; }
    QPixmap arrow() const { return m_arrow; }
    int angle() const { return m_angle; }

    // The arrow circles the north image at the larger of its half width and
    // half height.
    void setNorth(const QPixmap& north);
    void setArrow(const QPixmap& arrow);
    // Schedules a repaint; the cache follows only past a 10-degree change.
    void setAngle(int angle);
    // The next paint redraws the arrow whatever the angle.
    void invalidate() { m_cacheValid = false; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap m_north;
    QPixmap m_arrow;
    int m_arrowDistance = 0;
    int m_angle = 0;
    int m_drawnAngle = 0;
    QPixmap m_cache;
    bool m_cacheValid = false;
};
