// A button that scales its state background to its size, draws an optional
// icon over it and an optional caption along its bottom edge, the caption's
// font shrunk to fit the width. While down everything is drawn moved by the
// clicked offset.
//
// The layout (background, icon and caption rectangles) is computed on
// resize and by setFont only: changing the text, the images or showText
// takes effect at the next of those.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QAbstractButton>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QRect>

class ZYRCONTROLS_EXPORT zyrIconButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QPixmap normalBmp READ normalBmp WRITE setNormalBmp)
    Q_PROPERTY(QPixmap focusedBmp READ focusedBmp WRITE setFocusedBmp)
    Q_PROPERTY(QPixmap pressedBmp READ pressedBmp WRITE setPressedBmp)
    Q_PROPERTY(QPixmap iconBmp READ iconBmp WRITE setIconBmp)
    Q_PROPERTY(QPoint clickedOffset READ clickedOffset WRITE setClickedOffset)
    Q_PROPERTY(bool showText READ showText WRITE setShowText)

public:
    explicit zyrIconButton(QWidget* parent = nullptr);
    ~zyrIconButton() override;

    QPixmap normalBmp() const { return m_normal; }
    void setNormalBmp(const QPixmap& image) { m_normal = image; }
    QPixmap focusedBmp() const { return m_focused; }
    void setFocusedBmp(const QPixmap& image) { m_focused = image; }
    QPixmap pressedBmp() const { return m_pressed; }
    void setPressedBmp(const QPixmap& image) { m_pressed = image; }
    QPixmap iconBmp() const { return m_icon; }
    void setIconBmp(const QPixmap& image) { m_icon = image; }
    QPoint clickedOffset() const { return m_clickedOffset; }
    void setClickedOffset(const QPoint& offset) { m_clickedOffset = offset; }
    bool showText() const { return m_showText; }
    void setShowText(bool show) { m_showText = show; }

    // Sets the widget's font, keeps it as the caption's base font and refits
    // the caption.
    void setFont(const QFont& font);
    // The caption's font as last fitted.
    QFont fittedFont() const { return m_fittedFont; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateText();

private:
    const QPixmap& stateImage() const;

    QPixmap m_normal;
    QPixmap m_focused;
    QPixmap m_pressed;
    QPixmap m_icon;
    QPoint m_clickedOffset { 2, 2 };
    bool m_showText = true;
    QRect m_backgroundRect;
    QRect m_iconRect;
    QRect m_textRect;
    QFont m_baseFont;
    QFont m_fittedFont;
};
