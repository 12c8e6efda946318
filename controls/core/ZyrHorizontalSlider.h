// An image slider with six positions (0 to 100 in steps of 20): a bar, up
// to five filler segments, a pointer and optional minus and plus buttons.
// Horizontal by default, vertical with is_horiz off. The pointer can be
// dragged, a tap within 4 pixels jumps to the segment under the finger,
// minus and plus step by 20, and so do the Left and Right keys. A drag
// mostly across the axis is left to an enclosing view.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrHorizontalSlider : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap slider READ slider WRITE setSlider)
    Q_PROPERTY(QPixmap filler READ filler WRITE setFiller)
    Q_PROPERTY(QPixmap grad READ grad WRITE setGrad)
    Q_PROPERTY(QPixmap plus READ plus WRITE setPlus)
    Q_PROPERTY(QPixmap minus READ minus WRITE setMinus)
    Q_PROPERTY(QPixmap sliderFocus READ sliderFocus WRITE setSliderFocus)
    Q_PROPERTY(int value READ value WRITE setValue)
    Q_PROPERTY(bool is_horiz READ IsHoriz WRITE SetHoriz)
    Q_PROPERTY(int plus_hshift READ GetPlusXShift WRITE SetPlusXShift)
    Q_PROPERTY(int plus_vshift READ GetPlusYShift WRITE SetPlusYShift)
    Q_PROPERTY(int minus_hshift READ GetMinusXShift WRITE SetMinusXShift)
    Q_PROPERTY(int minus_vshift READ GetMinusYShift WRITE SetMinusYShift)
    Q_PROPERTY(int bar_hshift READ GetBarXShift WRITE SetBarXShift)
    Q_PROPERTY(int bar_vshift READ GetBarYShift WRITE SetBarYShift)
    Q_PROPERTY(int pointer_hshift READ GetPointerXShift WRITE SetPointerXShift)
    Q_PROPERTY(int pointer_vshift READ GetPointerYShift WRITE SetPointerYShift)

public:
    explicit ZyrHorizontalSlider(QWidget* parent = nullptr);
    ~ZyrHorizontalSlider() override;

    QPixmap slider() const { return m_slider; }
    void setSlider(const QPixmap& image) { m_slider = image; }
    QPixmap filler() const { return m_filler; }
    void setFiller(const QPixmap& image) { m_filler = image; }
    QPixmap grad() const { return m_grad; }
    void setGrad(const QPixmap& image) { m_grad = image; }
    QPixmap plus() const { return m_plus; }
    void setPlus(const QPixmap& image) { m_plus = image; }
    QPixmap minus() const { return m_minus; }
    void setMinus(const QPixmap& image) { m_minus = image; }
    QPixmap sliderFocus() const { return m_sliderFocus; }
    void setSliderFocus(const QPixmap& image) { m_sliderFocus = image; }

    int value() const { return m_value; }
    // Values outside 0..100 and the stored value are ignored; others are
    // rounded to the nearest multiple of 20 (10 rounds up), emitted and
    // painted at once.
    void setValue(const int& value);
    bool IsHoriz() const { return m_horizontal; }
    void SetHoriz(bool horizontal) { m_horizontal = horizontal; }

    int GetPlusXShift() const { return m_plusH; }
    void SetPlusXShift(int shift) { m_plusH = shift; }
    int GetPlusYShift() const { return m_plusV; }
    void SetPlusYShift(int shift) { m_plusV = shift; }
    int GetMinusXShift() const { return m_minusH; }
    void SetMinusXShift(int shift) { m_minusH = shift; }
    int GetMinusYShift() const { return m_minusV; }
    void SetMinusYShift(int shift) { m_minusV = shift; }
    int GetBarXShift() const { return m_barH; }
    void SetBarXShift(int shift) { m_barH = shift; }
    int GetBarYShift() const { return m_barV; }
    void SetBarYShift(int shift) { m_barV = shift; }
    int GetPointerXShift() const { return m_pointerH; }
    void SetPointerXShift(int shift) { m_pointerH = shift; }
    int GetPointerYShift() const { return m_pointerV; }
    void SetPointerYShift(int shift) { m_pointerV = shift; }

signals:
    void valuechanged(int value);
    void clicked(const QString& strObjName);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // The segment count under a point, from the bar origin along the axis.
    int segmentsAt(const QPoint& point) const;
    int along(const QPoint& p) const { return m_horizontal ? p.x() : p.y(); }
    int across(const QPoint& p) const { return m_horizontal ? p.y() : p.x(); }

    QPixmap m_slider;
    QPixmap m_filler;
    QPixmap m_grad;
    QPixmap m_plus;
    QPixmap m_minus;
    QPixmap m_sliderFocus;
    int m_value = 60;
    bool m_horizontal = true;
    int m_plusH = 0;
    int m_plusV = 0;
    int m_minusH = 0;
    int m_minusV = 0;
    int m_barH = 4;
    int m_barV = 2;
    int m_pointerH = 0;
    int m_pointerV = 0;
    QRect m_plusRect;
    QRect m_minusRect;
    QRect m_pointerRect;
    QPoint m_barOrigin;
    bool m_dragging = false;
    QPoint m_pressPoint;
    QPoint m_lastPoint;
};
