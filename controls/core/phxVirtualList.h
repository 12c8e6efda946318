// phxVirtualList: a flick-scrolled list view whose rows an application
// delegate paints. Dragged past an end it bounces (an offset the delegate
// draws the rows displaced by, run back to 0 by a 200 ms time line); after a
// scroll it snaps to whole rows; a thin custom scroll bar shows only while
// it scrolls.
#pragma once

#include "controls/core/Kinetic.h"
#include "controls/core/zyrcontrols_global.h"

#include <QListView>
#include <QTimer>

class QScrollBar;
class QTimeLine;

class ZYRCONTROLS_EXPORT phxVirtualList : public QListView, public Kinetic {
    Q_OBJECT
public:
    explicit phxVirtualList(QWidget* parent = nullptr);
    ~phxVirtualList() override;

    // Row height in pixels; 0 turns scrolling by drag and row snapping off.
    void SetItemHeight(int height);
    int itemHeight() const { return m_itemHeight; }
    void SetSameItemSize(bool same);
    bool SameItemSize() const;
    // Marks the delegate's render pass; the list itself does not read it.
    void beginRender();
    void endRender();

    // Rubber-band displacement: negative past the top, positive past the
    // bottom. The list repaints its viewport whenever it changes.
    int GetBounceOffset() const { return m_bounceOffset; }
    void SetBounceOffset(int offset);

    QScrollBar* verticalCustScrollBar() const { return m_custBar; }
    // True: native bars off and an 8-pixel bar "_CUSTOMSCROLLBAR_" along
    // the right edge (made once) follows the native one. False: the custom
    // bar is no longer used.
    void setCustomScrollBar(bool use);

    // Played when the application's up or down button meets an end.
    void upShakeAnimation();
    void downShakeAnimation();

    // Pixels to scroll so that a row starts at the top: forward to the next
    // row when up, back otherwise; 0 at either end or when aligned.
    int ListAutoAlign(bool up, int value);
    // Page count and current page; both 1 where they cannot be told.
    void GetListPageInfo(int& current, int& count);

signals:
    // Declared for the application's row delegate; the list emits neither.
    void ListMouseButtonPress(QMouseEvent* pEvent, bool& bProcessed);
    void ListMouseButtonRelease(QMouseEvent* pEvent, bool& bProcessed);
    void ListStartKineticScroll();
    void ListStopKineticScroll();
    void clicked(QString strObjName);

public slots:
    void setCustValue(int value);
    void setCustRange(int min, int max);
    void onScrollPage(int nPageCount);
    void bounceChange(int offset);
    void bounceFinish();
    void autoScrollBarHide(bool toshow);
    void alignedScroll();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    QPoint KineticCurrentPosition() override;
    void KineticClick(const QPoint& p) override;
    void KineticStart(const QPoint& p) override;
    bool KineticScroll(const QPoint& p) override;
    void KineticStop(const QPoint& p) override;

private:
    void startBounce(int from);
    void startAlignment();
    void scrollBarBy(int delta);

    int m_virtualPosition = 0;
    int m_itemHeight = 0;
    int m_lastY = 0;
    int m_bounceOffset = 0;
    QTimeLine* m_bounceTimeLine = nullptr;
    int m_bounceDistance = 10;
    bool m_rendering = false;
    int m_bounceSide = 0; // 0 none, 1 top, 2 bottom
    int m_overscrollLimit = 10;
    bool m_scrolling = false;
    QScrollBar* m_custBar = nullptr;
    bool m_custBarInUse = false;
    bool m_lastDragUp = true;
    QTimer m_alignTimer;
    int m_alignRemaining = 0;
    int m_alignStep = 6;
};
