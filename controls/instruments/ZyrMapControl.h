// The widget in which a navigation program shows its map. The map engine
// behind IMapView draws the picture and takes every key and mouse event; the
// control adds a long press with a magnifying loupe, repeated arrow keys and
// a cursor overlay under keypad navigation, and reports a tap as
// clicked(objectName()).
//
// A press that moves by 10 pixels or more in x or y before the long press
// (701 ms) becomes a drag: the engine gets the later moves. Any move while a
// long press is still possible cancels the tap and is not forwarded.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QBasicTimer>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QWidget>

class IMapView;
class QTimer;

class ZYRCONTROLS_EXPORT ZyrMapControl : public QWidget {
    Q_OBJECT
public:
    explicit ZyrMapControl(QWidget* parent = nullptr);
    ~ZyrMapControl() override;

    // Images drawn centred on the engine's cursor and pan cursor under
    // keypad navigation.
    void setCursorImage(const QPixmap& image) { m_cursor = image; }
    void setPanCursorImage(const QPixmap& image) { m_panCursor = image; }

public slots:
    // Detaches the engine before, attaches this one (null: none) and gives
    // it the control's rectangle.
    void SetMapViewInterface(IMapView* mapView);
    // Sends the held arrow key to the control again.
    void OnRepeatKeyTimer();

signals:
    void clicked(QString strObjName);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void drawMagnifier(QPainter& painter, const QPixmap& picture);

    IMapView* m_mapView = nullptr;
    bool m_pressed = false;
    bool m_longPressPossible = false;
    QPoint m_pressPos;
    QPoint m_currentPos;
    QBasicTimer m_longPressTimer;
    bool m_magnifier = false;
    QPixmap m_magnified;
    QPixmap m_loupeRing;
    QPixmap m_cursor;
    QPixmap m_panCursor;
    bool m_clickPending = false;
    QTimer* m_keyRepeatTimer = nullptr;
    int m_repeatKey = -1;
};
