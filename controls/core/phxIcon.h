// phxIcon: an image that can be rotated about its centre and reports
// presses.
#pragma once

#include "controls/core/phxClickSound.h"
#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QWidget>

class ZYRCONTROLS_EXPORT phxIcon : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap image READ image WRITE setImage DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(int RotateAngle READ RotateAngle WRITE setRotateAngle DESIGNABLE true SCRIPTABLE true STORED true)
    Q_PROPERTY(bool enableClickSound READ enableClickSound WRITE setEnableClickSound DESIGNABLE true SCRIPTABLE true
            STORED true)
public:
    explicit phxIcon(QWidget* parent = nullptr);
    ~phxIcon() override;

    QPixmap image() const { return m_image; }
    // Does not repaint.
    void setImage(const QPixmap& image);
    int RotateAngle() const { return m_rotateAngle; }
    // Degrees; only angles above 0 rotate. Repaints.
    void setRotateAngle(int angle);
    // Off by default: a press then silences the icon until switched on.
    bool enableClickSound() const { return m_clickSound.enabled(); }
    void setEnableClickSound(bool enable);

    void resizeToImage();
    // Scales the image to the widget's size (aspect ratio ignored).
    void resizeImageToIcon();
    QSize sizeHint() const override;

signals:
    void sigIconClicked();
    void clicked(QString strObjName);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_image;
    int m_rotateAngle = 0;
    phxClickSound m_clickSound { false };
};
