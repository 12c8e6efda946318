// An image drawn centred in the widget. rotate() turns it about the
// widget's centre; the first call grows the widget to a square of 1.5 times
// its larger side (room for any angle) and moves it so that the image stays
// where it was on the screen.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap image READ image WRITE setImage)

public:
    explicit ZyrIcon(QWidget* parent = nullptr);
    ~ZyrIcon() override;

    QPixmap image() const { return m_image; }
    // Stores the image; no repaint, no resize.
    void setImage(const QPixmap& image) { m_image = image; }
    QSize sizeHint() const override;
    void resizeToImage();
    // Replaces the image by itself scaled to the widget's size.
    void resizeImageToIcon();
    void rotate(float degrees);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void setAsRotatable();

    QPixmap m_image;
    float m_angle = 0;
    bool m_rotatable = false;
};
