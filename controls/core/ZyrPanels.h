// Small display widgets: a translucent rounded panel to put behind other
// widgets, a widget with a background pixmap, and a progress bar that takes
// the library's progress-bar style sheet.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPixmap>
#include <QProgressBar>
#include <QWidget>

class ZYRCONTROLS_EXPORT ZyrBacking : public QWidget {
    Q_OBJECT
public:
    explicit ZyrBacking(QWidget* parent = nullptr);
    ~ZyrBacking() override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class ZYRCONTROLS_EXPORT ZyrWidget : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QPixmap Background READ Background WRITE setBackground)
public:
    explicit ZyrWidget(QWidget* parent = nullptr);
    ~ZyrWidget() override;

    QPixmap Background() const { return m_background; }
    // Drawn at (0, 0) at its own size; no repaint.
    void setBackground(const QPixmap& background) { m_background = background; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_background;
};

class ZYRCONTROLS_EXPORT ZyrProgressBar : public QProgressBar {
    Q_OBJECT
public:
    // Takes the progress-bar sheet set before its construction.
    explicit ZyrProgressBar(QWidget* parent = nullptr);
    ~ZyrProgressBar() override;
};
