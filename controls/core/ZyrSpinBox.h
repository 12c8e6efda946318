// Touch spin boxes made of the library's parts: an up and a down
// ZyrPushButton, a ZyrIcon background and a ZyrTextBox showing the value.
//
// Each arrow tap is one step (no repeat). At a bound the value stays, or
// wraps when cyclic; valueChanging is emitted either way. With blocking on,
// one step locks the box until its owner calls unlock().
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <QWidget>

class ZyrIcon;
class ZyrPushButton;
class ZyrTextBox;

class ZYRCONTROLS_EXPORT ZyrAbstractSpinBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int initValue READ initValue WRITE setInitValue)
    Q_PROPERTY(int contentMargin READ contentMargin WRITE setContentMargin)
    Q_PROPERTY(bool blocking READ blocking WRITE setBlocking)
    Q_PROPERTY(bool cyclic READ cyclic WRITE setCyclic)
    Q_PROPERTY(QPoint hightlightPosition READ highlightPosition WRITE setHighlightPosition)
    Q_PROPERTY(QSize highlightSize READ highlightSize WRITE setHighlightSize)
    Q_PROPERTY(QColor highlightColor READ highlightColor WRITE setHighlightColor)
    Q_PROPERTY(QPixmap upArrowNormal READ upArrowNormal WRITE setUpArrowNormal)
    Q_PROPERTY(QPixmap upArrowPressed READ upArrowPressed WRITE setUpArrowPressed)
    Q_PROPERTY(QPixmap downArrowNormal READ downArrowNormal WRITE setDownArrowNormal)
    Q_PROPERTY(QPixmap downArrowPressed READ downArrowPressed WRITE setDownArrowPressed)
    Q_PROPERTY(QPixmap background READ background WRITE setBackground)
    Q_PROPERTY(int fontSize READ fontSize WRITE setFontSize)

public:
    explicit ZyrAbstractSpinBox(QWidget* parent = nullptr);
    ~ZyrAbstractSpinBox() override;

    // The value as given (not clamped, no signal); the text shows it.
    int initValue() const { return m_value; }
    void setInitValue(int value);
    int contentMargin() const { return m_contentMargin; }
    void setContentMargin(int margin);
    bool blocking() const { return m_blocking; }
    void setBlocking(bool on) { m_blocking = on; }
    bool cyclic() const { return m_cyclic; }
    void setCyclic(bool on) { m_cyclic = on; }
    // Ends the lock that a step with blocking on set.
    void unlock() { m_locked = false; }

    QPoint highlightPosition() const { return m_highlightPosition; }
    void setHighlightPosition(const QPoint& position);
    QSize highlightSize() const { return m_highlightSize; }
    void setHighlightSize(const QSize& size);
    QColor highlightColor() const { return m_highlightColor; }
    void setHighlightColor(const QColor& color);

    QPixmap upArrowNormal() const;
    void setUpArrowNormal(const QPixmap& image);
    QPixmap upArrowPressed() const;
    void setUpArrowPressed(const QPixmap& image);
    QPixmap downArrowNormal() const;
    void setDownArrowNormal(const QPixmap& image);
    QPixmap downArrowPressed() const;
    void setDownArrowPressed(const QPixmap& image);
    QPixmap background() const;
    void setBackground(const QPixmap& image);
    // The value text's pixel size (-1 without a text).
    int fontSize() const;
    void setFontSize(int pixelSize);

    // Tap an arrow from code: the same step as a tap.
    void OnUpArrow();
    void OnDownArrow();

    QSize sizeHint() const override;

signals:
    void valueChanging(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Arranges the parts once per change of images or margin.
    virtual void layoutSpinBox();
    virtual QString valueToBePrinted() = 0;
    // The text shows valueToBePrinted().
    void showValue();

    int m_minimum = 0;
    int m_maximum = 0;
    int m_value = 0;
    int m_contentMargin = 0;
    bool m_laidOut = false;
    ZyrPushButton* m_upArrow;
    ZyrPushButton* m_downArrow;
    ZyrIcon* m_background;
    ZyrTextBox* m_text;
    QWidget* m_highlight;

private slots:
    void onArrowUp();
    void onArrowDown();

private:
    void reflectValueChanging();

    bool m_blocking = false;
    bool m_locked = false;
    bool m_cyclic = false;
    QPoint m_highlightPosition;
    QSize m_highlightSize;
    QColor m_highlightColor;
};

// The up arrow above the background, the down arrow below it.
class ZYRCONTROLS_EXPORT ZyrAbstractVerticalSpinBox : public ZyrAbstractSpinBox {
    Q_OBJECT
public:
    explicit ZyrAbstractVerticalSpinBox(QWidget* parent = nullptr);
    ~ZyrAbstractVerticalSpinBox() override;
    QSize sizeHint() const override;

protected:
    void layoutSpinBox() override;
};

// Integers between minValue and maxValue, shown in decimal.
class ZYRCONTROLS_EXPORT ZyrVerticalSpinBox : public ZyrAbstractVerticalSpinBox {
    Q_OBJECT
    Q_PROPERTY(int minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(int maxValue READ maxValue WRITE setMaxValue)
public:
    explicit ZyrVerticalSpinBox(QWidget* parent = nullptr);
    ~ZyrVerticalSpinBox() override;
    int minValue() const { return m_minimum; }
    void setMinValue(int value) { m_minimum = value; }
    int maxValue() const { return m_maximum; }
    void setMaxValue(int value) { m_maximum = value; }

protected:
    QString valueToBePrinted() override;
};

// The strings of a list, by index; a value outside the list shows nothing.
class ZYRCONTROLS_EXPORT ZyrStringVerticalSpinBox : public ZyrAbstractVerticalSpinBox {
    Q_OBJECT
    Q_PROPERTY(QStringList values READ values WRITE setValues)
public:
    explicit ZyrStringVerticalSpinBox(QWidget* parent = nullptr);
    ~ZyrStringVerticalSpinBox() override;
    QStringList values() const { return m_values; }
    // Bounds 0 to count - 1; the value is kept.
    void setValues(const QStringList& values);

protected:
    QString valueToBePrinted() override;

private:
    QStringList m_values;
};
