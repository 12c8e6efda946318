// A launcher grid for a program's main screen: a page of icons with their
// labels in columns and rows. A tap on an icon reports the item's name by
// itemClicked. When there are more items than cells, the last cell of every
// page holds a next button that slides the following page in from below,
// and after the last page the first comes again.
//
// The page is rendered into an image once and painted from it; a press dims
// every other cell. Until initMainShellItems has given the grid a column and
// a row, the shell paints nothing and ignores input.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QParallelAnimationGroup;

struct LightMainShell_Item {
    QString strName; // reported by itemClicked
    QString strIcon; // the icon's image file
    QString strLabel; // shown under the icon, broken into lines
};

class ZYRCONTROLS_EXPORT kivoMainShell : public QWidget {
    Q_OBJECT
public:
    explicit kivoMainShell(QWidget* parent = nullptr);
    ~kivoMainShell() override;

    // Replaces the items, sets the grid and renders the first page at once.
    void initMainShellItems(QList<LightMainShell_Item>& items, int columns, int rows);
    // The next button's name (reported when it is tapped) and icon file.
    void setNextItem(LightMainShell_Item& item);

    // The label font and colour; each renders the page again.
    void setCurFont(QFont font);
    QFont getCurFont() const { return m_font; }
    void setCurFtColor(QColor color);
    void setFontFamily(QString& family);
    void setPixelSize(int pixelSize);
    // Fills the page image from the next rendering on.
    void setBackgroundRGB(QColor color) { m_background = color; }
    // The space round each cell.
    void setOffset(int horizontal, int vertical);
    // Back to the first page, unless a flip is running.
    void SetFirstPage();

signals:
    void itemClicked(QString name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void pageAnimationEnded();

private:
    friend struct kivoMainShellTestAccess;

    void mainshellscreenshot(QPixmap& image, int start);
    int getItemIndex(QPoint& point);
    void clickNextBtn();
    QStringList calculateString(QString& text, int width);
    QString findFitStr(QString text, int width, QString& rest);

    bool hasGrid() const { return m_columns > 0 && m_rows > 0; }
    bool hasMore() const { return m_items.size() > m_columns * m_rows; }
    bool isFlipping() const;

    QList<LightMainShell_Item> m_items;
    QPixmap m_page;
    int m_pageStart = 0;
    bool m_dirty = false;
    bool m_flipping = false;
    int m_horizontalGap = 2;
    int m_verticalGap = 2;
    int m_lineSpacing = 4;
    QFont m_font;
    LightMainShell_Item m_nextItem;
    QList<QRect> m_cells;
    bool m_pressed = false;
    int m_hoverIndex = -1;
    int m_pressIndex = -1;
    QParallelAnimationGroup* m_flipGroup;
    QLabel* m_nextLabel = nullptr;
    QBasicTimer m_pressTimer;
    int m_rows = 0;
    int m_columns = 0;
    int m_lastCell = 0;
    bool m_relayout = true;
    QColor m_background { 254, 254, 254, 0 };
    QColor m_fontColor { 254, 254, 254, 255 };
};
