// The needle of the compasses that point at a target: green on course, fading
// to yellow at 90 degrees off and to red with the target behind; blue while no
// target is known.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QPoint>
#include <QWidget>

class QPainter;

class ZYRCONTROLS_EXPORT zyrColorArrow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap greenNeedle READ greenNeedle WRITE setGreenNeedle)
    Q_PROPERTY(QPixmap yellowNeedle READ yellowNeedle WRITE setYellowNeedle)
    Q_PROPERTY(QPixmap redNeedle READ redNeedle WRITE setRedNeedle)
    Q_PROPERTY(QPixmap blueNeedle READ blueNeedle WRITE setBlueNeedle)
public:
    explicit zyrColorArrow(QWidget* parent = nullptr);

    QPixmap greenNeedle() const { return m_greenNeedle; }
    QPixmap yellowNeedle() const { return m_yellowNeedle; }
    QPixmap redNeedle() const { return m_redNeedle; }
    QPixmap blueNeedle() const { return m_blueNeedle; }

    // Store only; subclasses place the needle or repaint.
    virtual void setGreenNeedle(const QPixmap& pixmap);
    virtual void setYellowNeedle(const QPixmap& pixmap);
    virtual void setRedNeedle(const QPixmap& pixmap);
    virtual void setBlueNeedle(const QPixmap& pixmap);

    // The needle's inputs, for owners that feed them directly: the colour
    // mode (a target is known), the heading and the bearing in whole degrees.
    bool colorMode() const { return m_bColorMode; }
    void setColorMode(bool on) { m_bColorMode = on; }
    int arrowHeading() const { return m_nHeading; }
    void setArrowHeading(int degrees) { m_nHeading = degrees; }
    int arrowBearing() const { return m_nBearing; }
    void setArrowBearing(int degrees) { m_nBearing = degrees; }

protected:
    // Paints the needle with its top-left corner at topLeft.
    void drawArrow(QPainter& painter, QPoint& topLeft);
    // The angle between heading and bearing, 0 to 180; values above 180 are
    // stored back as their negative equivalents.
    int steering();

    bool m_bColorMode;
    int m_nHeading;
    int m_nBearing;

private:
    void mixArrows(QPixmap& under, QPixmap& over, int alpha, QPainter& painter, QPoint& topLeft);

    QPixmap m_greenNeedle;
    QPixmap m_yellowNeedle;
    QPixmap m_redNeedle;
    QPixmap m_blueNeedle;
};
