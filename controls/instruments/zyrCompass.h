// The compass fed by a navigation program's provider: a rose (turning ring,
// labels, cardinal signs, colour needle, bearing, sun, moon and award icons)
// or a strip showing the 100 degrees around the heading. By default it is a
// translucent overlay drawn at three quarters opacity, without the needle.
#pragma once

#include "controls/core/zyrcontrols_global.h"
#include "controls/instruments/ICompassDataProvider.h"
#include "controls/instruments/zyrColorArrow.h"

#include <QPoint>
#include <QString>

class ZYRCONTROLS_EXPORT zyrCompass : public zyrColorArrow {
    Q_OBJECT
    Q_PROPERTY(QPixmap IconBearing READ getIconBearing WRITE setIconBearing)
    Q_PROPERTY(QPixmap IconSun READ getIconSun WRITE setIconSun)
    Q_PROPERTY(QPixmap IconMoon READ getIconMoon WRITE setIconMoon)
    Q_PROPERTY(QPixmap IconGcAwardsRegular READ getIconGcAwardsRegular WRITE setIconGcAwardsRegular)
    Q_PROPERTY(QPixmap IconGcAwardsApe READ getIconGcAwardsApe WRITE setIconGcAwardsApe)
    Q_PROPERTY(QPixmap compassRing READ compassRing WRITE setCompassRing)
    Q_PROPERTY(QPixmap signN READ signN WRITE setSignN)
    Q_PROPERTY(QPixmap signE READ signE WRITE setSignE)
    Q_PROPERTY(QPixmap signS READ signS WRITE setSignS)
    Q_PROPERTY(QPixmap signW READ signW WRITE setSignW)
    Q_PROPERTY(qreal ringAngle READ ringAngle WRITE setRingAngle RESET resetRingAngle)
    Q_PROPERTY(qreal needleAngle READ needleAngle WRITE setNeedleAngle RESET resetNeedleAngle)
    Q_PROPERTY(bool northUpFlag READ northUpFlag WRITE setNorthUpFlag)
    Q_PROPERTY(int textRadius READ textRadius WRITE setTextRadius)
    Q_PROPERTY(QPoint textCenter READ textCenter WRITE setTextCenter)
    Q_PROPERTY(bool bDrawLabels READ getDrawLabels WRITE setDrawLabels)
    Q_PROPERTY(bool bDrawCardinal READ getDrawCardinal WRITE setDrawCardinal)
    Q_PROPERTY(QString strCardinalNorth READ getStrCardinalNorth WRITE setStrCardinalNorth)
    Q_PROPERTY(QString strCardinalSouth READ getStrCardinalSouth WRITE setStrCardinalSouth)
    Q_PROPERTY(QString strCardinalWest READ getStrCardinalWest WRITE setStrCardinalWest)
    Q_PROPERTY(QString strCardinalEast READ getStrCardinalEast WRITE setStrCardinalEast)
    Q_PROPERTY(QPixmap stripBkgd READ getStripBkgd WRITE setStripBkgd)
    Q_PROPERTY(QPixmap leftArrow READ getLeftArrow WRITE setLeftArrow)
    Q_PROPERTY(QPixmap rightArrow READ getRightArrow WRITE setRightArrow)
    Q_PROPERTY(QPixmap headArrow READ getHeadArrow WRITE setHeadArrow)
    Q_PROPERTY(int stripSunVertPos READ getStripSunVertPos WRITE setStripSunVertPos)
    Q_PROPERTY(int stripMoonVertPos READ getStripMoonVertPos WRITE setStripMoonVertPos)
public:
    explicit zyrCompass(QWidget* parent = nullptr);
    ~zyrCompass() override;

    // Stores the provider and subscribes this widget to it; returns the one
    // before.
    ICompassDataProvider* SetCompassInterface(ICompassDataProvider* provider);
    ICompassDataProvider* GetCompassInterface() const { return m_pProvider; }
    // Handed on to the provider; without one it does nothing.
    void onSunMoonPos(zyrSunMoonAzEl_t position);

    void SetTransparent(bool transparent) { m_bTransparent = transparent; }
    void SetStripCompassIndicator(bool strip) { m_bStripMode = strip; }
    bool IsStripCompass() const { return m_bStripMode; }
    // false: the next paint rebuilds the cardinal icons.
    void SetCardinalsCreated(bool created) { m_bCardinalsCreated = created; }
    void SetAwardsIconsVisibility(int& regular, int& ape);

    QPixmap getIconBearing() const { return m_IconBearing; }
    QPixmap getIconSun() const { return m_IconSun; }
    QPixmap getIconMoon() const { return m_IconMoon; }
    QPixmap getIconGcAwardsRegular() const { return m_IconGcAwardsRegular; }
    QPixmap getIconGcAwardsApe() const { return m_IconGcAwardsApe; }
    QPixmap compassRing() const { return m_compassRing; }
    QPixmap signN() const { return m_signN; }
    QPixmap signE() const { return m_signE; }
    QPixmap signS() const { return m_signS; }
    QPixmap signW() const { return m_signW; }
    qreal ringAngle() const { return m_ringAngle; }
    qreal needleAngle() const { return m_needleAngle; }
    bool northUpFlag() const { return m_northUpFlag; }
    int textRadius() const { return m_textRadius; }
    QPoint textCenter() const { return m_textCenter; }
    bool getDrawLabels() const { return m_bDrawLabels; }
    bool getDrawCardinal() const { return m_bDrawCardinal; }
    QString getStrCardinalNorth() const { return m_strCardinalNorth; }
    QString getStrCardinalSouth() const { return m_strCardinalSouth; }
    QString getStrCardinalWest() const { return m_strCardinalWest; }
    QString getStrCardinalEast() const { return m_strCardinalEast; }
    QPixmap getStripBkgd() const { return m_stripBkgd; }
    QPixmap getLeftArrow() const { return m_leftArrow; }
    QPixmap getRightArrow() const { return m_rightArrow; }
    QPixmap getHeadArrow() const { return m_headArrow; }
    int getStripSunVertPos() const { return m_stripSunVertPos; }
    int getStripMoonVertPos() const { return m_stripMoonVertPos; }

    void setIconBearing(const QPixmap& p) { m_IconBearing = p; }
    void setIconSun(const QPixmap& p) { m_IconSun = p; }
    void setIconMoon(const QPixmap& p) { m_IconMoon = p; }
    void setIconGcAwardsRegular(const QPixmap& p) { m_IconGcAwardsRegular = p; }
    void setIconGcAwardsApe(const QPixmap& p) { m_IconGcAwardsApe = p; }
    // Also places the ring centred in the widget's current rectangle.
    void setCompassRing(const QPixmap& p);
    void setSignN(const QPixmap& p) { m_signN = p; }
    void setSignE(const QPixmap& p) { m_signE = p; }
    void setSignS(const QPixmap& p) { m_signS = p; }
    void setSignW(const QPixmap& p) { m_signW = p; }
    void setRingAngle(qreal angle) { m_ringAngle = float(angle); }
    void resetRingAngle() { m_ringAngle = 1.0f; }
    void setNeedleAngle(qreal angle) { m_needleAngle = float(angle); }
    void resetNeedleAngle() { m_needleAngle = 0; }
    void setNorthUpFlag(bool flag) { m_northUpFlag = flag; }
    void setTextRadius(int radius) { m_textRadius = radius; }
    void setTextCenter(const QPoint& centre);
    void setDrawLabels(const bool& on) { m_bDrawLabels = on; }
    void setDrawCardinal(const bool& on) { m_bDrawCardinal = on; }
    void setStrCardinalNorth(const QString& s) { m_strCardinalNorth = s; }
    void setStrCardinalSouth(const QString& s) { m_strCardinalSouth = s; }
    void setStrCardinalWest(const QString& s) { m_strCardinalWest = s; }
    void setStrCardinalEast(const QString& s) { m_strCardinalEast = s; }
    void setStripBkgd(const QPixmap& p) { m_stripBkgd = p; }
    void setLeftArrow(const QPixmap& p) { m_leftArrow = p; }
    void setRightArrow(const QPixmap& p) { m_rightArrow = p; }
    void setHeadArrow(const QPixmap& p) { m_headArrow = p; }
    void setStripSunVertPos(int y) { m_stripSunVertPos = y; }
    void setStripMoonVertPos(int y) { m_stripMoonVertPos = y; }

    // Each places the needle centred in the widget's current rectangle.
    void setGreenNeedle(const QPixmap& pixmap) override;
    void setYellowNeedle(const QPixmap& pixmap) override;
    void setRedNeedle(const QPixmap& pixmap) override;
    void setBlueNeedle(const QPixmap& pixmap) override;

protected slots:
    void OnUpdate();

protected:
    void paintEvent(QPaintEvent* event) override;

    void DrawCompass(QPainter& painter);
    void DrawStripCompass(QPainter& painter);
    void DrawTicks(QPainter& painter);
    void drawTexts(QPainter* painter, bool unused);
    void displayIcon(QPainter& painter, QPixmap& icon, const double& angle, bool nearRim);
    void displayAwardIcon(QPainter& painter, QPixmap& icon, const double& angle, int kind);
    QPixmap* CreateeCardinalIcon(QString& text, QPixmap& sign, bool light);

    static float normalizeDegree(float degrees);
    static float degreeDifference(float start, float end, float angle);
    static bool isIconVisible(float start, float end, float angle);
    static double rimNormalize(double degrees);

private:
    void placeNeedle(const QPixmap& needle);
    void deleteCardinals();

    ICompassDataProvider* m_pProvider;
    bool m_bTransparent;
    bool m_bDrawLabels;
    bool m_bDrawCardinal;
    bool m_bStripMode;
    QPixmap* m_cardinal[4]; // north, south, east, west
    bool m_bCardinalsCreated;
    QPixmap m_compassRing;
    QPixmap m_signN, m_signE, m_signS, m_signW;
    QPixmap m_IconBearing, m_IconSun, m_IconMoon, m_IconGcAwardsRegular, m_IconGcAwardsApe;
    QPixmap m_stripBkgd, m_leftArrow, m_rightArrow, m_headArrow;
    float m_ringAngle;
    float m_needleAngle;
    QPoint m_ringOffset;
    QPoint m_needleOffset;
    int m_textRadius;
    bool m_northUpFlag;
    QPoint m_textCenter;
    QString m_strCardinalNorth, m_strCardinalWest, m_strCardinalSouth, m_strCardinalEast;
    int m_awardsRegularVisible;
    int m_awardsApeVisible;
    int m_stripSunVertPos;
    int m_stripMoonVertPos;
};
