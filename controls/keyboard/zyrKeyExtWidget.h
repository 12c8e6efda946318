// The pop-up row of a key's extended characters: one key button per
// character, chosen by touch or with Left, Right and Return. It emits
// clicked(QString) with the character chosen and deletes itself when it
// closes.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QBrush>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVector>
#include <QWidget>

class ZyrFlowLayout;
class zyrKeyButton;

class ZYRCONTROLS_EXPORT zyrKeyExtWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int roundRadius READ roundRadius WRITE setRoundRadius)
    Q_PROPERTY(int spacing READ spacing WRITE setSpacing)
    Q_PROPERTY(QBrush background READ background WRITE setBackground)
    Q_PROPERTY(QPixmap normalXBmp READ normalXBmp WRITE setNormalXBmp)
    Q_PROPERTY(QPixmap pressedXBmp READ pressedXBmp WRITE setPressedXBmp)

public:
    explicit zyrKeyExtWidget(QWidget* parent = nullptr);
    ~zyrKeyExtWidget() override;

    // Replaces the buttons by one per character (a character outside the
    // Basic Multilingual Plane is one button, not two halves).
    void setExtChars(QString chars);
    void addChar(QString ch);
    // Escape closes; Left and Right move the highlight, wrapping; Return
    // clicks the highlighted button and highlights the first.
    void processKey(int key);
    int buttonCount() const { return m_buttons.size(); }

    int roundRadius() const { return m_roundRadius; }
    void setRoundRadius(int radius);
    int spacing() const { return m_spacing; }
    void setSpacing(int spacing);
    QBrush background() const { return m_background; }
    void setBackground(const QBrush& brush) { m_background = brush; }
    QPixmap normalXBmp() const { return m_normalXBmp; }
    void setNormalXBmp(const QPixmap& bmp) { m_normalXBmp = bmp; }
    QPixmap pressedXBmp() const { return m_pressedXBmp; }
    void setPressedXBmp(const QPixmap& bmp) { m_pressedXBmp = bmp; }

    QSize sizeHint() const override;

signals:
    void clicked(QString ch);

protected:
    // Takes every button out of the list and the layout and deletes it.
    void clearButtons();
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void moveHighlight(bool left);

    QPointer<ZyrFlowLayout> m_layout;
    int m_roundRadius = 5;
    int m_spacing = 3;
    QVector<QPointer<zyrKeyButton>> m_buttons;
    QBrush m_background;
    QPixmap m_normalXBmp;
    QPixmap m_pressedXBmp;
};
