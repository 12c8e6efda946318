// phxPushButton: an image-skinned push button with one image per state
// (normal, pressed, focused, disabled), a press shift of its child widgets,
// sizing to its image and a look-and-feel reload.
#pragma once

#include "controls/core/phxClickSound.h"
#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QStyle>

class ZYRCONTROLS_EXPORT phxPushButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(bool autoResize READ autoResize WRITE setAutoResize DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QPixmap normal READ normalImage WRITE setNormal DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QPixmap pressed READ pressedImage WRITE setPressed DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QPixmap focused READ focusedImage WRITE setFocused DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QPixmap disabled READ disabledImage WRITE setDisabled DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(QPoint shiftOnPress READ shiftOnPress WRITE setShiftOnPress DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(bool eventPropagation READ eventPropagation WRITE setEventPropagation DESIGNABLE true SCRIPTABLE true
            STORED true)
    Q_PROPERTY(bool enableClickSound READ enableClickSound WRITE setEnableClickSound DESIGNABLE true SCRIPTABLE true
            STORED true)
public:
    explicit phxPushButton(QWidget* parent = nullptr);
    ~phxPushButton() override;

    bool autoResize() const { return m_autoResize; }
    // On: resizes to the normal image. Off: lifts the maximum size (the
    // minimum size stays).
    void setAutoResize(bool autoResize);

    QPixmap normalImage() const { return m_normal; }
    QPixmap pressedImage() const { return m_pressed; }
    QPixmap focusedImage() const { return m_focused; }
    QPixmap disabledImage() const { return m_disabled; }
    // Stores the image and, with auto resize on, resizes to it. The other
    // three setters only store; none repaints.
    void setNormal(const QPixmap& image);
    void setPressed(const QPixmap& image);
    void setFocused(const QPixmap& image);
    void setDisabled(const QPixmap& image);
    using QPushButton::setDisabled;

    QPoint shiftOnPress() const { return m_shiftOnPress; }
    void setShiftOnPress(const QPoint& shift);
    bool eventPropagation() const { return m_eventPropagation; }
    // Each key, mouse and focus event, once handled, is marked ignored so
    // that the parent receives it too.
    void setEventPropagation(bool propagate);
    bool enableClickSound() const { return m_clickSound.enabled(); }
    void setEnableClickSound(bool enable);

    // Minimum size = the normal image's size, and resize to it.
    void resizeToImage();
    QSize sizeHint() const override;
    // A look drawn besides the real one until set again:
    // QStyle::State_HasFocus draws focused, QStyle::State_Selected pressed.
    void SetState(QStyle::State state);
    // Image paths that OnLAFChanged(2, ...) reloads when reload is true.
    void setDNPixmapSTR(bool reload, QString normal, QString pressed, QString focused, QString disabled);
    // A release 10 pixels or more away from the press (either axis) clicks
    // nothing.
    void setShiftMove(bool shiftMove);
    // Degrees about the centre; no repaint.
    void setRotateAngle(int angle);

signals:
    void clicked(QString strObjName);

public slots:
    void onClicked();

private slots:
    void OnLAFChanged(int kind, QString);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void MoveChildren(const QPoint& offset);
    void propagate(QEvent* event) const;

    bool m_autoResize = true;
    bool m_reloadLAF = false;
    QPixmap m_normal;
    QPixmap m_pressed;
    QPixmap m_focused;
    QPixmap m_disabled;
    QString m_normalPath;
    QString m_pressedPath;
    QString m_focusedPath;
    QString m_disabledPath;
    QPoint m_shiftOnPress;
    bool m_eventPropagation = false;
    bool m_childrenShifted = false;
    QPoint m_pressGlobal { -1, -1 };
    QStyle::State m_forcedState;
    bool m_shiftMove = false;
    int m_rotateAngle = 0;
    phxClickSound m_clickSound { true };
};
