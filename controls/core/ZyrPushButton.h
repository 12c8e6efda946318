// Image push buttons: one image per state drawn centred, child widgets moved
// while the button is held.
//
// ZyrPushButton ignores a release when the button itself has moved on the
// screen by 15 pixels or more since the press (its container scrolled).
//
// ZyrListButton lives inside a scrolling QListWidget: there it shows the
// pressed look at once but takes the press only after 1200 ms without the
// list moving it, never clicks on its own release, and is clicked by the
// list through onListItemClicked().
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QPoint>
#include <QStyle>

class QTimer;

class ZYRCONTROLS_EXPORT ZyrPushButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QPixmap normal READ normal WRITE setNormal)
    Q_PROPERTY(QPixmap pressed READ pressed WRITE setPressed)
    Q_PROPERTY(QPixmap focused READ focused WRITE setFocused)
    Q_PROPERTY(QPixmap disabled READ disabled WRITE setDisabled)
    Q_PROPERTY(QPoint shiftOnPress READ shiftOnPress WRITE setShiftOnPress)
    Q_PROPERTY(bool eventPropagation READ eventPropagation WRITE setEventPropagation)

public:
    explicit ZyrPushButton(QWidget* parent = nullptr);
    ~ZyrPushButton() override;

    QPixmap normal() const { return m_normal; }
    void setNormal(const QPixmap& image) { m_normal = image; }
    QPixmap pressed() const { return m_pressed; }
    // Under keypad navigation the pressed image doubles as the focused one
    // when none was set.
    void setPressed(const QPixmap& image);
    QPixmap focused() const { return m_focused; }
    void setFocused(const QPixmap& image) { m_focused = image; }
    QPixmap disabled() const { return m_disabled; }
    void setDisabled(const QPixmap& image) { m_disabled = image; }
    QPoint shiftOnPress() const { return m_shiftOnPress; }
    void setShiftOnPress(const QPoint& shift) { m_shiftOnPress = shift; }
    bool eventPropagation() const { return m_eventPropagation; }
    void setEventPropagation(bool on) { m_eventPropagation = on; }

    // Fixes the minimum size to the largest width and height of the state
    // images and resizes to it; without any image nothing changes.
    void resizeToImage();
    QSize sizeHint() const override;

    // A look forced besides the real state until set again: State_Selected
    // draws the pressed look, State_HasFocus the focused one. No repaint.
    void SetState(QFlags<QStyle::StateFlag> state) { m_forcedState = state; }

public slots:
    void onClicked();

signals:
    void clicked(const QString& strObjName);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

    // A copy of a mouse event placed at (-1, -1), outside the button, so
    // that the button comes up without a click.
    static QMouseEvent outsideCopy(const QMouseEvent& event);

    QFlags<QStyle::StateFlag> m_forcedState;

private:
    void MoveChildren(const QPoint& offset);

    QPixmap m_normal;
    QPixmap m_pressed;
    QPixmap m_focused;
    QPixmap m_disabled;
    QPoint m_shiftOnPress;
    bool m_eventPropagation = false;
    bool m_childrenShifted = false;
    QPoint m_pressOrigin { -1, -1 };
};

class ZYRCONTROLS_EXPORT ZyrListButton : public ZyrPushButton {
    Q_OBJECT
public:
    // The parent becomes the button's focus proxy.
    explicit ZyrListButton(QWidget* parent = nullptr);
    ~ZyrListButton() override;

public slots:
    // The list's click on this item: a full click of the button.
    void onListItemClicked();
    // The held press, taken when the list has not moved the button.
    void onDelayedMousePress();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool inScrollingList() const;

    QPoint m_pressPosition { -15, -15 };
    bool m_released = true;
    QTimer* m_delayedPress;
};
