// The ring compass: one image turned about the widget's centre, stepped one
// degree each time its provider reports a change.
#pragma once

#include "controls/core/zyrcontrols_global.h"
#include "controls/instruments/ICompassDataProvider.h"

#include <QPixmap>
#include <QWidget>

class ZYRCONTROLS_EXPORT kivoCompass : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap compassRing READ compassRing WRITE setCompassRing)
    Q_PROPERTY(QPixmap compassArrow READ compassArrow WRITE setCompassArrow)
    Q_PROPERTY(qreal ringAngle READ ringAngle WRITE setRingAngle)
    Q_PROPERTY(qreal arrowAngle READ arrowAngle WRITE setArrowAngle)
    Q_PROPERTY(bool northUpFlag READ northUpFlag WRITE setNorthUpFlag)
public:
    explicit kivoCompass(QWidget* parent = nullptr);

    ICompassDataProvider* SetCompassInterface(ICompassDataProvider* provider);
    ICompassDataProvider* GetCompassInterface() const { return m_pProvider; }

    QPixmap compassRing() const { return m_compassRing; }
    QPixmap compassArrow() const { return m_compassArrow; }
    qreal ringAngle() const { return m_ringAngle; }
    qreal arrowAngle() const { return m_arrowAngle; }
    bool northUpFlag() const { return m_northUpFlag; }

    // Each setter stores and then steps the ring like OnUpdate().
    void setCompassRing(const QPixmap& pixmap);
    void setCompassArrow(const QPixmap& pixmap);
    void setRingAngle(qreal angle);
    void setArrowAngle(qreal angle);
    void setNorthUpFlag(bool flag);

protected slots:
    // One degree further; 0 again past 360 or below -360.
    void OnUpdate();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ICompassDataProvider* m_pProvider;
    QPixmap m_compassRing;
    QPixmap m_compassArrow;
    bool m_northUpFlag;
    float m_ringAngle;
    float m_arrowAngle;
};
