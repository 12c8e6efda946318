// Dialog frames: a top piece, a fill piece tiled down the middle and a
// bottom piece, centred in the widget at the width of the first piece set,
// over an optional tiled background. The owner places the dialog's content
// in clientRect().
//
// ZyrPopup adds margins above and below the content, a footer that overlaps
// the content, and a screenshot of the screen below as its background.
// phxPopup is the plain frame; a release outside the frame calls
// popupClickOutside(), which closes (and so deletes) it.
//
// Rectangles are in the widget's own coordinates, where its content lives.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrPopup : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap imageTop READ imageTop WRITE setImageTop)
    Q_PROPERTY(QPixmap imageFill READ imageFill WRITE setImageFill)
    Q_PROPERTY(QPixmap imageBottom READ imageBottom WRITE setImageBottom)
    Q_PROPERTY(QPixmap imageBkgndBrush READ imageBkgndBrush WRITE setImageBkgndBrush)
    Q_PROPERTY(int clientAreaHeight READ clientAreaHeight WRITE setClientAreaHeight)
    Q_PROPERTY(int m_nFooterShift READ GetFooterShift WRITE SetFooterShift)
    Q_PROPERTY(int verticalMargins READ verticalMargins WRITE setVerticalMargins)

public:
    explicit ZyrPopup(QWidget* parent = nullptr);
    ~ZyrPopup() override;

    QPixmap imageTop() const { return m_top; }
    void setImageTop(const QPixmap& image);
    QPixmap imageFill() const { return m_fill; }
    void setImageFill(const QPixmap& image);
    QPixmap imageBottom() const { return m_bottom; }
    void setImageBottom(const QPixmap& image);
    QPixmap imageBkgndBrush() const { return m_brush; }
    // A translucent brush image also tints the screenshot background.
    void setImageBkgndBrush(const QPixmap& image) { m_brush = image; }
    int clientAreaHeight() const { return m_clientHeight; }
    // At most clientMaxHeight().
    void setClientAreaHeight(int height);
    int GetFooterShift() const { return m_footerShift; }
    void SetFooterShift(int shift) { m_footerShift = shift; }
    int verticalMargins() const { return m_margins; }
    void setVerticalMargins(int margins) { m_margins = margins; }

    int clientMaxHeight() const;
    QRect clientRect() const;
    // Where the frame was last painted.
    QRect popupRect() const { return m_popupRect; }
    // Takes, once, the screen under this widget from the source's window as
    // the background.
    void UseScreenshotBkgd(QWidget* source);

protected:
    void paintEvent(QPaintEvent* event) override;
    void PrepareScreenshotBkgd();

private:
    QRect frameRect() const;
    void takeWidth(const QPixmap& image);

    QPixmap m_top;
    QPixmap m_fill;
    QPixmap m_bottom;
    QPixmap m_brush;
    int m_clientHeight = 0;
    int m_width = 0;
    QRect m_popupRect { 0, 0, 0, 0 };
    int m_footerShift = 12;
    int m_margins = 12;
    QPixmap m_screenshot;
    QPointer<QWidget> m_screenshotSource;
};

class ZYRCONTROLS_EXPORT phxPopup : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap imageTop READ imageTop WRITE setImageTop)
    Q_PROPERTY(QPixmap imageFill READ imageFill WRITE setImageFill)
    Q_PROPERTY(QPixmap imageBottom READ imageBottom WRITE setImageBottom)
    Q_PROPERTY(QPixmap imageBkgndBrush READ imageBkgndBrush WRITE setImageBkgndBrush)
    Q_PROPERTY(int clientAreaHeight READ clientAreaHeight WRITE setClientAreaHeight)

public:
    // Deleted when closed.
    explicit phxPopup(QWidget* parent = nullptr);
    ~phxPopup() override;

    QPixmap imageTop() const { return m_top; }
    void setImageTop(const QPixmap& image);
    QPixmap imageFill() const { return m_fill; }
    void setImageFill(const QPixmap& image);
    QPixmap imageBottom() const { return m_bottom; }
    void setImageBottom(const QPixmap& image);
    QPixmap imageBkgndBrush() const { return m_brush; }
    void setImageBkgndBrush(const QPixmap& image) { m_brush = image; }
    int clientAreaHeight() const { return m_clientHeight; }
    // At most clientMaxHeight(), which always leaves 32 pixels.
    void setClientAreaHeight(int height);

    int clientMaxHeight() const;
    QRect clientRect() const;
    QRect popupRect() const { return m_popupRect; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // A release outside the frame. Closes the pop-up unless overridden.
    virtual void popupClickOutside();

private:
    QRect frameRect() const;
    void takeWidth(const QPixmap& image);

    QPixmap m_top;
    QPixmap m_fill;
    QPixmap m_bottom;
    QPixmap m_brush;
    int m_clientHeight = 0;
    int m_width = 0;
    QRect m_popupRect { 0, 0, 0, 0 };
};
