// A horizontal strip compass fed by setters: the strip turns towards each new
// heading in an eased animation (headings arriving meanwhile queue up), with
// the sun, the moon, a head arrow, the colour needle below and, in the marine
// mode, a road showing the path to the next waypoint in perspective.
#pragma once

#include "controls/core/zyrcontrols_global.h"
#include "controls/instruments/zyrColorArrow.h"

#include <QBrush>
#include <QPointF>
#include <QPointer>
#include <QPolygonF>
#include <QTimeLine>

#include <vector>


class ZYRCONTROLS_EXPORT zyrStripCompass : public zyrColorArrow {
    Q_OBJECT
    Q_PROPERTY(QPixmap stripBkgd READ stripBkgd WRITE setStripBkgd)
    Q_PROPERTY(QPixmap roadBkgd READ roadBkgd WRITE setRoadBkgd)
    Q_PROPERTY(QPixmap leftArrow READ leftArrow WRITE setLeftArrow)
    Q_PROPERTY(QPixmap rightArrow READ rightArrow WRITE setRightArrow)
    Q_PROPERTY(QPixmap headArrow READ headArrow WRITE setHeadArrow)
    Q_PROPERTY(QPixmap destArrow READ destArrow WRITE setDestArrow)
    Q_PROPERTY(QPixmap destIcon READ destIcon WRITE setDestIcon)
    Q_PROPERTY(QPixmap moonIcon READ moonIcon WRITE setMoonIcon)
    Q_PROPERTY(QPixmap sunIcon READ sunIcon WRITE setSunIcon)
    Q_PROPERTY(QPixmap compassW READ compassW WRITE setCompassW)
    Q_PROPERTY(QPixmap compassN READ compassN WRITE setCompassN)
    Q_PROPERTY(QPixmap compassE READ compassE WRITE setCompassE)
    Q_PROPERTY(QPixmap compassS READ compassS WRITE setCompassS)
    Q_PROPERTY(qreal heading READ heading WRITE setHeading)
    Q_PROPERTY(qreal goalHeading READ goalHeading WRITE setGoalHeading)
    Q_PROPERTY(qreal moonAz READ moonAz WRITE setMoonAz)
    Q_PROPERTY(qreal sunAz READ sunAz WRITE setSunAz)
    Q_PROPERTY(bool interrupt READ interrupt WRITE setInterrupt)
    Q_PROPERTY(int rotationSpeed READ rotationSpeed WRITE setRotationSpeed RESET resetRotationSpeed)
    Q_PROPERTY(int needleVertPosCorrection READ needleVertPosCorrection WRITE setNeedleVertPosCorrection)
    Q_PROPERTY(int targetVertPosCorrection READ targetVertPosCorrection WRITE setTargetVertPosCorrection)
    Q_PROPERTY(int headVertPosCorrection READ headVertPosCorrection WRITE setHeadVertPosCorrection)
    Q_PROPERTY(int roadBkgdVertPosCorrection READ roadBkgdVertPosCorrection WRITE setRoadBkgdVertPosCorrection)
    Q_PROPERTY(int needleHorPosCorrection READ needleHorPosCorrection WRITE setNeedleHorPosCorrection)
    Q_PROPERTY(int targetHorPosCorrection READ targetHorPosCorrection WRITE setTargetHorPosCorrection)
    Q_PROPERTY(int destIconHorPosCorrection READ destIconHorPosCorrection WRITE setDestIconHorPosCorrection)
    Q_PROPERTY(int destIconVertPosCorrection READ destIconVertPosCorrection WRITE setDestIconVertPosCorrection)
    Q_PROPERTY(int roadBkgdStripBkgdGap READ roadBkgdStripBkgdGap WRITE setRoadBkgdStripBkgdGap)
    Q_PROPERTY(bool isMarineCompassMode READ isMarineCompassMode WRITE setMarineCompassMode)
public:
    explicit zyrStripCompass(QWidget* parent = nullptr);

#define ZYR_STRIP_PIXMAP(get, set, member)                                                                            \
    QPixmap get() const { return member; }                                                                             \
    void set(const QPixmap& p) { member = p; }
    ZYR_STRIP_PIXMAP(roadBkgd, setRoadBkgd, m_roadBkgd)
    ZYR_STRIP_PIXMAP(destIcon, setDestIcon, m_destIcon)
    ZYR_STRIP_PIXMAP(leftArrow, setLeftArrow, m_leftArrow)
    ZYR_STRIP_PIXMAP(rightArrow, setRightArrow, m_rightArrow)
    ZYR_STRIP_PIXMAP(destArrow, setDestArrow, m_destArrow)
    ZYR_STRIP_PIXMAP(headArrow, setHeadArrow, m_headArrow)
    ZYR_STRIP_PIXMAP(compassW, setCompassW, m_compassW)
    ZYR_STRIP_PIXMAP(compassN, setCompassN, m_compassN)
    ZYR_STRIP_PIXMAP(compassE, setCompassE, m_compassE)
    ZYR_STRIP_PIXMAP(compassS, setCompassS, m_compassS)
    ZYR_STRIP_PIXMAP(moonIcon, setMoonIcon, m_moonIcon)
    ZYR_STRIP_PIXMAP(sunIcon, setSunIcon, m_sunIcon)
#undef ZYR_STRIP_PIXMAP
    QPixmap stripBkgd() const { return m_stripBkgd; }
    // Also lays the widget out again at the next paint.
    void setStripBkgd(const QPixmap& p);

    qreal heading() const { return m_heading; }
    // Queues the heading (0..360) and turns towards it when no turn runs.
    void setHeading(float degrees);
    qreal goalHeading() const { return m_goalHeading; }
    void setGoalHeading(float degrees) { m_goalHeading = normalizeDegree(degrees); }
    qreal moonAz() const { return m_moonAz; }
    void setMoonAz(float degrees) { m_moonAz = normalizeDegree(degrees); }
    qreal sunAz() const { return m_sunAz; }
    void setSunAz(float degrees) { m_sunAz = normalizeDegree(degrees); }

    void setBaseDistance(double d) { m_baseDistance = float(d); }
    void setDistanceToNext(double d) { m_distanceToNext = float(d); }
    void setXTE(double d) { m_xte = float(d); }
    void setOriginToDestAngle(double degrees) { m_originToDestAngle = float(degrees); }
    void setOriginToDestDistance(double d) { m_originToDestDistance = float(d); }

#define ZYR_STRIP_INT(get, set, member)                                                                               \
    int get() const { return member; }                                                                                 \
    void set(int v) { member = v; }
    ZYR_STRIP_INT(rotationSpeed, setRotationSpeed, m_rotationSpeed)
    ZYR_STRIP_INT(needleVertPosCorrection, setNeedleVertPosCorrection, m_needleVertPosCorrection)
    ZYR_STRIP_INT(targetVertPosCorrection, setTargetVertPosCorrection, m_targetVertPosCorrection)
    ZYR_STRIP_INT(headVertPosCorrection, setHeadVertPosCorrection, m_headVertPosCorrection)
    ZYR_STRIP_INT(roadBkgdVertPosCorrection, setRoadBkgdVertPosCorrection, m_roadBkgdVertPosCorrection)
    ZYR_STRIP_INT(needleHorPosCorrection, setNeedleHorPosCorrection, m_needleHorPosCorrection)
    ZYR_STRIP_INT(targetHorPosCorrection, setTargetHorPosCorrection, m_targetHorPosCorrection)
    ZYR_STRIP_INT(destIconHorPosCorrection, setDestIconHorPosCorrection, m_destIconHorPosCorrection)
    ZYR_STRIP_INT(destIconVertPosCorrection, setDestIconVertPosCorrection, m_destIconVertPosCorrection)
    ZYR_STRIP_INT(roadBkgdStripBkgdGap, setRoadBkgdStripBkgdGap, m_roadBkgdStripBkgdGap)
#undef ZYR_STRIP_INT
    void resetRotationSpeed() { m_rotationSpeed = 7200; }
    bool interrupt() const { return m_interrupt; }
    void setInterrupt(bool on) { m_interrupt = on; }
    bool isMarineCompassMode() const { return m_isMarineCompassMode; }
    void setMarineCompassMode(bool on) { m_isMarineCompassMode = on; }

    // The destination arrow, the paths and the destination icon show while
    // the flag is set.
    bool destinationFlag() const { return m_destinationFlag; }
    void setDestinationFlag(bool on) { m_destinationFlag = on; }

    void zoomIn();
    void zoomOut();
    int zoomLevel() const { return m_zoomLevel; }
    float compassStep() const { return m_stripBkgd.width() * 0.01f; }

    // The time line that drives the turns (a child of the widget).
    QTimeLine* timeLine() const { return m_timeLine; }
    // The polygons last drawn in the marine mode, in widget coordinates.
    QPolygonF pathPolygon() const { return m_pathPolygon; }
    QPolygonF legPolygon() const { return m_legPolygon; }
    QPointF roadPosition() const { return m_roadPos; }
    QPointF headArrowPosition() const { return m_headArrowPos; }

    void setGreenNeedle(const QPixmap& pixmap) override;
    void setYellowNeedle(const QPixmap& pixmap) override;
    void setRedNeedle(const QPixmap& pixmap) override;
    void setBlueNeedle(const QPixmap& pixmap) override;

signals:
    void ready();

protected slots:
    void setRotation(qreal progress);
    void startRotation();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static float normalizeDegree(float degrees);
    static bool isIconVisible(float start, float end, float angle);
    static float degreeDifference(float start, float end, float angle);
    void layout();
    void drawTicks(QPainter& painter);
    void drawScale(QPainter& painter);
    void drawPathesAndDestIcon(QPainter& painter);

    bool m_destinationFlag;
    QBrush m_pathBrush;
    QPixmap m_stripBkgd, m_roadBkgd, m_destIcon, m_leftArrow, m_rightArrow, m_destArrow, m_headArrow, m_compassW,
        m_compassN, m_compassE, m_compassS, m_moonIcon, m_sunIcon;
    QPointF m_stripPos, m_needlePos, m_leftArrowPos, m_rightArrowPos, m_roadPos, m_headArrowPos;
    float m_heading;
    float m_goalHeading;
    float m_turnStart;
    float m_turnTarget;
    float m_moonAz;
    float m_sunAz;
    float m_originToDestAngle;
    float m_originToDestDistance;
    std::vector<float> m_headingQueue;
    QPointer<QTimeLine> m_timeLine;
    int m_rotationSpeed;
    int m_needleVertPosCorrection = 0, m_targetVertPosCorrection = 0, m_headVertPosCorrection = 0,
        m_roadBkgdVertPosCorrection = 0, m_needleHorPosCorrection = 0, m_targetHorPosCorrection = 0,
        m_destIconHorPosCorrection = 0, m_destIconVertPosCorrection = 0, m_roadBkgdStripBkgdGap = 0;
    bool m_interrupt;
    bool m_isMarineCompassMode;
    bool m_layoutDone;
    QPolygonF m_pathPolygon;
    QPolygonF m_legPolygon;
    float m_distanceToNext;
    float m_xte;
    float m_baseDistance;
    int m_zoomLevel;
};
