// One key of the on-screen keyboard. It knows nothing of pages, text fields
// or pop-ups: a tap emits what the key stands for, by its type.
//
//   Regular  clicked(QString) with its current key string (or the string's
//            current character when the key has extended characters); held
//            for a second, extendedChars(QString) with the whole string.
//   Control  clicked(int) with its key code; held, clicked(int) with its
//            second key code when it has one, and the release sends nothing.
//   Paging   clicked(QString) with keys(), the name of the page to show.
//
// Every tap first emits playSound(objectName()) and last, when desiredFocus
// is set, setFocusByName(desiredFocus).
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QAbstractButton>
#include <QBrush>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QTimer>

class ZYRCONTROLS_EXPORT zyrKeyButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(ButtonType buttonType READ buttonType WRITE setButtonType)
    Q_PROPERTY(QBrush normalBkgd READ normalBkgd WRITE setNormalBkgd)
    Q_PROPERTY(QBrush pressedBkgd READ pressedBkgd WRITE setPressedBkgd)
    Q_PROPERTY(QPixmap normalBmp READ normalBmp WRITE setNormalBmp)
    Q_PROPERTY(QPixmap focusedBmp READ focusedBmp WRITE setFocusedBmp)
    Q_PROPERTY(QPixmap pressedBmp READ pressedBmp WRITE setPressedBmp)
    Q_PROPERTY(QPixmap toggledBmp READ toggledBmp WRITE setToggledBmp)
    Q_PROPERTY(QPoint clickedOffset READ clickedOffset WRITE setClickedOffset)
    Q_PROPERTY(QString keyStringUpper READ keyStringUpper WRITE setKeyStringUpper)
    Q_PROPERTY(QString keyStringLower READ keyStringLower WRITE setKeyStringLower)
    Q_PROPERTY(QString transBaseUpper READ keyStrBaseUpper WRITE setKeyStrBaseUpper DESIGNABLE false)
    Q_PROPERTY(QString transBaseLower READ keyStrBaseLower WRITE setKeyStrBaseLower DESIGNABLE false)
    Q_PROPERTY(Qt::Key keyCode READ keyCode WRITE setKeyCode)
    Q_PROPERTY(Qt::Key secondKeyCode READ secondKeyCode WRITE setSecondKeyCode)
    Q_PROPERTY(QString keys READ keys WRITE setKeys)
    Q_PROPERTY(QString currentKSUpper READ currentKSUpper)
    Q_PROPERTY(QString currentKSLower READ currentKSLower)
    Q_PROPERTY(bool shiftState READ shiftState WRITE setShiftState)
    Q_PROPERTY(bool hasExtChar READ hasExtChar WRITE setHasExtChar)
    Q_PROPERTY(int roundRadius READ roundRadius WRITE setRoundRadius)
    Q_PROPERTY(QString desiredFocus READ desiredFocus WRITE setDesiredFocus)

public:
    enum ButtonType { Regular = 0, Control = 1, Paging = 2 };
    Q_ENUM(ButtonType)

    // How long a press must last to count as a hold.
    static constexpr int kLongPressMs = 1000;

    explicit zyrKeyButton(QWidget* parent = nullptr);
    ~zyrKeyButton() override;

    ButtonType buttonType() const { return m_buttonType; }
    // Emits keyTypeChanged, also when the type does not change.
    void setButtonType(ButtonType type);

    QBrush normalBkgd() const { return m_normalBkgd; }
    void setNormalBkgd(const QBrush& brush) { m_normalBkgd = brush; }
    QBrush pressedBkgd() const { return m_pressedBkgd; }
    void setPressedBkgd(const QBrush& brush) { m_pressedBkgd = brush; }

    QPixmap normalBmp() const { return m_normalBmp; }
    void setNormalBmp(const QPixmap& bmp) { m_normalBmp = bmp; }
    QPixmap focusedBmp() const { return m_focusedBmp; }
    void setFocusedBmp(const QPixmap& bmp) { m_focusedBmp = bmp; }
    QPixmap pressedBmp() const { return m_pressedBmp; }
    void setPressedBmp(const QPixmap& bmp) { m_pressedBmp = bmp; }
    QPixmap toggledBmp() const { return m_toggledBmp; }
    void setToggledBmp(const QPixmap& bmp) { m_toggledBmp = bmp; }

    QPoint clickedOffset() const { return m_clickedOffset; }
    void setClickedOffset(const QPoint& offset) { m_clickedOffset = offset; }

    // The key strings change what the key types, not its face: the face
    // follows at the next setShiftState or show.
    QString keyStringUpper() const { return m_keyStringUpper; }
    void setKeyStringUpper(const QString& text);
    QString keyStringLower() const { return m_keyStringLower; }
    void setKeyStringLower(const QString& text);

    QString keyStrBaseUpper() const { return m_transBaseUpper; }
    void setKeyStrBaseUpper(const QString& text) { m_transBaseUpper = text; }
    QString keyStrBaseLower() const { return m_transBaseLower; }
    void setKeyStrBaseLower(const QString& text) { m_transBaseLower = text; }

    Qt::Key keyCode() const { return m_keyCode; }
    void setKeyCode(Qt::Key code) { m_keyCode = code; }
    Qt::Key secondKeyCode() const { return m_secondKeyCode; }
    void setSecondKeyCode(Qt::Key code) { m_secondKeyCode = code; }

    QString keys() const { return m_keys; }
    void setKeys(QString keys) { m_keys = keys; }

    // The current character of the upper (lower) key string: its first, as
    // charIndex is only ever clamped into the string. Empty for an empty
    // string.
    QString currentKSUpper();
    QString currentKSLower();

    bool shiftState() const { return m_shiftState; }
    // Stores the state and shows the current key string (or its current
    // character when the key has extended characters) on the face; an
    // empty string leaves the face as it is.
    void setShiftState(bool on);

    bool hasExtChar() const { return m_hasExtChar; }
    void setHasExtChar(bool has) { m_hasExtChar = has; }
    int roundRadius() const { return m_roundRadius; }
    void setRoundRadius(int radius) { m_roundRadius = radius; }

    QString desiredFocus() const { return m_desiredFocus; }
    void setDesiredFocus(const QString& name) { m_desiredFocus = name; }

    // The whole current key string of a Regular key with extended
    // characters; empty for every other key.
    QString getExtChars() const;

    // The keypad-navigation highlight, set from outside.
    void setHasFocus(bool has) { m_hasFocusMark = has; }
    bool isHasFocus() const { return m_hasFocusMark; }

    QSize sizeHint() const override;

signals:
    void clicked(int key);
    void clicked(QString text);
    void setFocusByName(QString name);
    void keyStrUpperChanged(QString text);
    void keyStrLowerChanged(QString text);
    void keyTypeChanged(int type);
    void extendedChars(QString chars);
    void playSound(const QString& strObjName);

protected slots:
    void keyClicked();
    void popupExtChars();
    void theOtherCtrlKey();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QString currentKeyString() const { return m_shiftState ? m_keyStringUpper : m_keyStringLower; }
    QString currentChar(const QString& keyString);

    ButtonType m_buttonType = Regular;
    QString m_keys;
    QString m_keyStringUpper;
    QString m_keyStringLower;
    QString m_transBaseUpper;
    QString m_transBaseLower;
    QString m_desiredFocus;
    int m_charIndex = 0;
    Qt::Key m_keyCode = Qt::Key_unknown;
    Qt::Key m_secondKeyCode = Qt::Key_unknown;
    QPixmap m_normalBmp;
    QPixmap m_focusedBmp;
    QPixmap m_pressedBmp;
    QPixmap m_toggledBmp;
    QPoint m_clickedOffset { 2, 2 };
    bool m_shiftState = false;
    bool m_hasExtChar = false;
    bool m_secondKeySent = false;
    // The hold of the current press offered the extended characters: its
    // release must not type the key's own character over the choice.
    bool m_extCharsSent = false;
    QTimer m_longPressTimer;
    QBrush m_normalBkgd;
    QBrush m_pressedBkgd;
    int m_roundRadius = 5;
    bool m_hasFocusMark = false;
};
