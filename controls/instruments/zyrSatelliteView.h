// The GPS receiver's state: a round sky plot in the upper three quarters
// with each satellite as an icon at its azimuth and elevation, and a strip of
// signal bars along the bottom with the satellite numbers under them.
//
// The navigation program hands over one record at a time; the view keeps its
// own copy, renders into an off-screen pixmap when the data or the size has
// changed, and paints that pixmap. Property setters only store: a new image
// or colour shows at the next data or size change.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <cstdint>

class QPainter;

// One satellite, as the receiver reports it.
struct zyrSatelliteDetails {
    std::uint8_t number; // satellite number
    std::uint16_t azimuth; // degrees clockwise from north
    std::uint8_t elevation; // degrees above the horizon, 90 the zenith
    std::uint16_t snr; // signal-to-noise figure
    std::uint8_t used; // 0: no usable signal, whatever the snr
};

enum { zyrMaxSatellites = 14 };

// The record handed to setData. Which slots are drawn follows the slot flags
// alone; the count only bounds how many detail records are copied, so a slot
// at or past the count keeps what an earlier record put there.
struct zyrSatellites {
    std::uint8_t header; // copied, not read
    std::uint8_t count; // valid detail records that follow (0 to 14)
    std::uint8_t reserved[zyrMaxSatellites]; // copied, not read
    std::uint8_t slotFlags[zyrMaxSatellites]; // nonzero: the slot is drawn
    zyrSatelliteDetails details[zyrMaxSatellites];
};

class ZYRCONTROLS_EXPORT zyrSatelliteView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap WeakSat READ pxWeakSat WRITE setWeakSat)
    Q_PROPERTY(QPixmap MedSat READ pxMedSat WRITE setMedSat)
    Q_PROPERTY(QPixmap StrongSat READ pxStrongSat WRITE setStrongSat)
    Q_PROPERTY(QPixmap NoSat READ pxNoSat WRITE setNoSat)
    Q_PROPERTY(QPixmap SBASWeakSat READ pxSBASWeakSat WRITE setSBASWeakSat)
    Q_PROPERTY(QPixmap SBASMedSat READ pxSBASMedSat WRITE setSBASMedSat)
    Q_PROPERTY(QPixmap SBASStrongSat READ pxSBASStrongSat WRITE setSBASStrongSat)
    Q_PROPERTY(QPixmap SBASNoSat READ pxSBASNoSat WRITE setSBASNoSat)
    Q_PROPERTY(QColor clrCircle READ clrCircle WRITE setclrCircle)
    Q_PROPERTY(QColor clrStrongSignal READ clrStrongSignal WRITE setclrStrongSignal)
    Q_PROPERTY(QColor clrMedSignal READ clrMedSignal WRITE setclrMedSignal)
    Q_PROPERTY(QColor clrWeakSignal READ clrWeakSignal WRITE setclrWeakSignal)
    Q_PROPERTY(QColor clrNoSignal READ clrNoSignal WRITE setclrNoSignal)
    Q_PROPERTY(QColor clrCenterGradient READ clrCenterGradient WRITE setclrCenterGradient)
    Q_PROPERTY(QColor clrEdgeGradient READ clrEdgeGradient WRITE setclrEdgeGradient)
    Q_PROPERTY(QColor clrBackground READ clrBackground WRITE setclrBackground)
public:
    explicit zyrSatelliteView(QWidget* parent = nullptr);

    // Copies the record and repaints at once; null is ignored.
    void setData(const zyrSatellites* data);

#define ZYR_SKY_PIXMAP(get, set, member)                                                                               \
    const QPixmap& get() const { return member; }                                                                      \
    void set(const QPixmap& p) { member = p; }
    ZYR_SKY_PIXMAP(pxWeakSat, setWeakSat, m_pxWeakSat)
    ZYR_SKY_PIXMAP(pxMedSat, setMedSat, m_pxMedSat)
    ZYR_SKY_PIXMAP(pxStrongSat, setStrongSat, m_pxStrongSat)
    ZYR_SKY_PIXMAP(pxNoSat, setNoSat, m_pxNoSat)
    ZYR_SKY_PIXMAP(pxSBASWeakSat, setSBASWeakSat, m_pxSBASWeakSat)
    ZYR_SKY_PIXMAP(pxSBASMedSat, setSBASMedSat, m_pxSBASMedSat)
    ZYR_SKY_PIXMAP(pxSBASStrongSat, setSBASStrongSat, m_pxSBASStrongSat)
    ZYR_SKY_PIXMAP(pxSBASNoSat, setSBASNoSat, m_pxSBASNoSat)
#undef ZYR_SKY_PIXMAP

#define ZYR_SKY_COLOR(name)                                                                                            \
    const QColor& name() const { return m_##name; }                                                                    \
    void set##name(const QColor& c) { m_##name = c; }
    // clrCircle and clrBackground are kept for the owner; the drawing does
    // not use them.
    ZYR_SKY_COLOR(clrCircle)
    ZYR_SKY_COLOR(clrStrongSignal)
    ZYR_SKY_COLOR(clrMedSignal)
    ZYR_SKY_COLOR(clrWeakSignal)
    ZYR_SKY_COLOR(clrNoSignal)
    ZYR_SKY_COLOR(clrCenterGradient)
    ZYR_SKY_COLOR(clrEdgeGradient)
    ZYR_SKY_COLOR(clrBackground)
#undef ZYR_SKY_COLOR

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend struct zyrSatelliteViewTestAccess;

    const QColor& getSignalColor(const zyrSatelliteDetails& sat) const;
    const QPixmap& getSatPixmap(const zyrSatelliteDetails& sat) const;
    static bool isSBAS(const zyrSatelliteDetails& sat);
    static QString getSatNumber(const zyrSatelliteDetails& sat);
    QPoint getSatPosition(const zyrSatelliteDetails& sat) const;
    void SetFitedFont(QFont& font, const QString& text, QRect rect, float factor);
    void draw();
    void drawSatellites(QPainter* painter);
    void drawSignalBar(QPainter* painter);

    QPixmap m_pxWeakSat, m_pxMedSat, m_pxStrongSat, m_pxNoSat;
    QPixmap m_pxSBASWeakSat, m_pxSBASMedSat, m_pxSBASStrongSat, m_pxSBASNoSat;

    QColor m_clrCircle;
    QColor m_clrStrongSignal;
    QColor m_clrMedSignal;
    QColor m_clrWeakSignal;
    QColor m_clrNoSignal;
    QColor m_clrCenterGradient;
    QColor m_clrEdgeGradient;
    QColor m_clrBackground;

    QRect m_skyRect;
    QRect m_circleRect;
    QRect m_barArea;
    QRect m_barRect; // the first bar slot
    QRect m_numberRect; // the first number label
    QRect m_letterW, m_letterE, m_letterS, m_letterN;
    int m_letterBox = 0; // J: the letters' width and a third of their discs

    QFont m_numberFont;
    QFont m_letterFont;

    zyrSatellites m_data;
    QPixmap m_render;
    bool m_dirty = false;
};
