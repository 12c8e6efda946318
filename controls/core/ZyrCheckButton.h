// Image-skinned check and radio buttons. They draw nothing but pixmaps: a
// mark (checked or unchecked) at a settable position and, in the push look,
// a background per state. Texts and icons are child widgets placed inside
// the button; the push look moves them while the button is held.
//
// The radio kinds are auto-exclusive: radio buttons that share a parent
// form one group. Arrow keys are swallowed (they neither move the check nor
// the focus); with eventPropagation on, every key, mouse and focus event is
// also left to the parent.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QAbstractButton>
#include <QPixmap>
#include <QPoint>
#include <QStyle>

class QPainter;

class ZYRCONTROLS_EXPORT ZyrAbstractCheckButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QPixmap checkedImg READ getCheckedImg WRITE setCheckedImg)
    Q_PROPERTY(QPixmap uncheckedImg READ getUncheckedImg WRITE setUncheckedImg)
    Q_PROPERTY(QPoint markPosition READ getMarkPosition WRITE setMarkPosition)
    Q_PROPERTY(bool eventPropagation READ eventPropagation WRITE setEventPropagation)

public:
    explicit ZyrAbstractCheckButton(QWidget* parent = nullptr);
    ~ZyrAbstractCheckButton() override;

    QPixmap getCheckedImg() const { return m_checkedImg; }
    void setCheckedImg(const QPixmap& image) { m_checkedImg = image; }
    QPixmap getUncheckedImg() const { return m_uncheckedImg; }
    void setUncheckedImg(const QPixmap& image) { m_uncheckedImg = image; }
    QPoint getMarkPosition() const { return m_markPosition; }
    void setMarkPosition(const QPoint& position) { m_markPosition = position; }
    bool eventPropagation() const { return m_eventPropagation; }
    void setEventPropagation(bool on) { m_eventPropagation = on; }
    // Added to the mark position while the button is down.
    void SetShiftCheckboxOnPress(const QPoint& shift) { m_markShiftOnPress = shift; }

    QSize minimumSizeHint() const override;

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

    // Draws the given mark at the mark position (shifted while down).
    void paintMark(QPainter& painter, const QPixmap& mark) const;
    // The checked image when checked and set, else the unchecked one.
    QPixmap currentMark() const;

    bool m_pushLook = false;
    QPoint m_markShiftOnPress;

private:
    QPixmap m_checkedImg;
    QPixmap m_uncheckedImg;
    QPoint m_markPosition;
    bool m_eventPropagation = false;
};

class ZYRCONTROLS_EXPORT ZyrAbstractUsualCheckButton : public ZyrAbstractCheckButton {
    Q_OBJECT
public:
    explicit ZyrAbstractUsualCheckButton(QWidget* parent = nullptr);
    ~ZyrAbstractUsualCheckButton() override;
};

class ZYRCONTROLS_EXPORT ZyrAbstractPushCheckButton : public ZyrAbstractCheckButton {
    Q_OBJECT
    Q_PROPERTY(QPixmap normal READ getNormal WRITE setNormal)
    Q_PROPERTY(QPixmap pressed READ getPressed WRITE setPressed)
    Q_PROPERTY(QPixmap focused READ getFocused WRITE setFocused)
    Q_PROPERTY(QPixmap disabled READ getDisabled WRITE setDisabled)
    Q_PROPERTY(QPoint shiftOnPress READ getShiftOnPress WRITE setShiftOnPress)

public:
    explicit ZyrAbstractPushCheckButton(QWidget* parent = nullptr);
    ~ZyrAbstractPushCheckButton() override;

    QPixmap getNormal() const { return m_normal; }
    // Also fixes the button's size to the image's.
    void setNormal(const QPixmap& image);
    QPixmap getPressed() const { return m_pressed; }
    // Under keypad navigation the pressed image doubles as the focused one
    // when none was set.
    void setPressed(const QPixmap& image);
    QPixmap getFocused() const { return m_focused; }
    void setFocused(const QPixmap& image) { m_focused = image; }
    QPixmap getDisabled() const { return m_disabled; }
    void setDisabled(const QPixmap& image) { m_disabled = image; }
    QPoint getShiftOnPress() const { return m_shiftOnPress; }
    // Moves the children and the mark together while the button is down.
    void setShiftOnPress(const QPoint& shift);

    // A look forced besides the real state until set again: State_Selected
    // draws the pressed look, State_HasFocus the focused one. No repaint.
    void SetState(QFlags<QStyle::StateFlag> state) { m_forcedState = state; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void MoveChildren(const QPoint& offset);

private:
    bool m_childrenShifted = false;
    QPoint m_shiftOnPress;
    QPixmap m_normal;
    QPixmap m_pressed;
    QPixmap m_focused;
    QPixmap m_disabled;
    QFlags<QStyle::StateFlag> m_forcedState;
};

class ZYRCONTROLS_EXPORT ZyrCheckBox : public ZyrAbstractUsualCheckButton {
    Q_OBJECT
    Q_PROPERTY(bool m_bGrayed READ GetGrayed WRITE SetGrayed DESIGNABLE isCheckable USER true)
    Q_PROPERTY(QPixmap checkedGrayedImg READ getCheckedGrayedImg WRITE setCheckedGrayedImg)

public:
    explicit ZyrCheckBox(QWidget* parent = nullptr);
    ~ZyrCheckBox() override;

    // The third state, shown with its own image until the next click.
    bool GetGrayed() const { return m_grayed; }
    void SetGrayed(bool grayed) { m_grayed = grayed; }
    QPixmap getCheckedGrayedImg() const { return m_checkedGrayedImg; }
    void setCheckedGrayedImg(const QPixmap& image) { m_checkedGrayedImg = image; }

public slots:
    void onClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_grayed = false;
    QPixmap m_checkedGrayedImg;
};

class ZYRCONTROLS_EXPORT ZyrRadioButton : public ZyrAbstractUsualCheckButton {
    Q_OBJECT
public:
    explicit ZyrRadioButton(QWidget* parent = nullptr);
    ~ZyrRadioButton() override;
};

class ZYRCONTROLS_EXPORT phxCheckBox : public ZyrAbstractUsualCheckButton {
    Q_OBJECT
public:
    explicit phxCheckBox(QWidget* parent = nullptr);
    ~phxCheckBox() override;
};

class ZYRCONTROLS_EXPORT phxRadioButton : public ZyrAbstractUsualCheckButton {
    Q_OBJECT
public:
    explicit phxRadioButton(QWidget* parent = nullptr);
    ~phxRadioButton() override;
};

class ZYRCONTROLS_EXPORT ZyrPushCheckBox : public ZyrAbstractPushCheckButton {
    Q_OBJECT
public:
    explicit ZyrPushCheckBox(QWidget* parent = nullptr);
    ~ZyrPushCheckBox() override;
};

class ZYRCONTROLS_EXPORT ZyrPushRadioButton : public ZyrAbstractPushCheckButton {
    Q_OBJECT
public:
    explicit ZyrPushRadioButton(QWidget* parent = nullptr);
    ~ZyrPushRadioButton() override;
};
