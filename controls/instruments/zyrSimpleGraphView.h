// A filled line chart given in pixel coordinates, made of segments with gaps
// between them: a cursor the user drags along it, an optional marked range
// between two markers, panning when the chart is wider than its drawing
// area, value texts from the program (IGraphViewData) and objects the
// program draws over it (IUserDrawingObject). The chart is drawn once into a
// pixmap of its full width; panning only moves the part shown.
#pragma once

#include "controls/core/zyrcontrols_global.h"
#include "controls/instruments/IGraphViewData.h"

#include <QBrush>
#include <QColor>
#include <QPainterPath>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QVector>
#include <QWidget>

typedef QVector<QPoint> zyrPointData;

class ZYRCONTROLS_EXPORT zyrSimpleGraphView : public QWidget, public ISimpleGraphData {
    Q_OBJECT
public:
    enum EDrawCursorFlags { edcDrawCircle = 1, edcDrawLine = 2 };
    Q_DECLARE_FLAGS(QDrawCursorFlags, EDrawCursorFlags)
    Q_FLAG(QDrawCursorFlags)
    enum EAlignCursorType { RightEdge = 0, LeftEdge = 1, Centre = 2, Unlock = 3 };
    Q_ENUM(EAlignCursorType)
    enum EUserDOOrder { BeforeMarkers = 0, AfterMarkers = 1 };
    Q_ENUM(EUserDOOrder)

private:
    Q_PROPERTY(QRect drawingArea READ drawingArea WRITE setDrawingArea)
    Q_PROPERTY(QPixmap startFlag READ startFlag WRITE setStartFlag)
    Q_PROPERTY(QPixmap endFlag READ endFlag WRITE setEndFlag)
    Q_PROPERTY(QBrush background READ background WRITE setBackground)
    Q_PROPERTY(QBrush foreground READ foreground WRITE setForeground)
    Q_PROPERTY(QBrush startFlagBrush READ startFlagBrush WRITE setStartFlagBrush)
    Q_PROPERTY(QBrush endFlagBrush READ endFlagBrush WRITE setEndFlagBrush)
    Q_PROPERTY(QColor lineColor READ lineColor WRITE setLineColor)
    Q_PROPERTY(int lineWidth READ lineWidth WRITE setLineWidth)
    Q_PROPERTY(QColor outlineColor READ outlineColor WRITE setOutlineColor)
    Q_PROPERTY(int outlineWidth READ outlineWidth WRITE setOutlineWidth)
    Q_PROPERTY(QColor cursorColor READ cursorColor WRITE setCursorColor)
    Q_PROPERTY(int cursorWidth READ cursorWidth WRITE setCursorWidth)
    Q_PROPERTY(QColor markerFillColor READ markerFillColor WRITE setMarkerFillColor)
    Q_PROPERTY(QColor markerLineColor READ markerLineColor WRITE setMarkerLineColor)
    Q_PROPERTY(QColor markerOutlineColor READ markerOutlineColor WRITE setMarkerOutlineColor)
    Q_PROPERTY(QColor gapColor READ gapColor WRITE setGapColor)
    Q_PROPERTY(int markerWidth READ markerWidth WRITE setMarkerWidth)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QPixmap cursorLinePixmap READ cursorLinePixmap WRITE setCursorLinePixmap)
    Q_PROPERTY(QPixmap cursorCirclePixmap READ cursorCirclePixmap WRITE setCursorCirclePixmap)
    Q_PROPERTY(QDrawCursorFlags drawCursorFlags READ drawCursorFlags WRITE setDrawCursorFlags)
    Q_PROPERTY(bool drawGrids READ drawGrids WRITE setDrawGrids)

public:
    explicit zyrSimpleGraphView(QWidget* parent = nullptr);
    ~zyrSimpleGraphView() override;

    QRect drawingArea() const { return m_area; }
    void setDrawingArea(QRect area);
    QPixmap startFlag() const { return m_startFlag; }
    void setStartFlag(const QPixmap& p) { m_startFlag = p; }
    QPixmap endFlag() const { return m_endFlag; }
    void setEndFlag(const QPixmap& p) { m_endFlag = p; }
    QBrush background() const { return m_background; }
    void setBackground(const QBrush& b) { m_background = b; }
    QBrush foreground() const { return m_foreground; }
    void setForeground(const QBrush& b) { m_foreground = b; }
    QBrush startFlagBrush() const { return m_startFlagBrush; }
    void setStartFlagBrush(const QBrush& b) { m_startFlagBrush = b; }
    QBrush endFlagBrush() const { return m_endFlagBrush; }
    void setEndFlagBrush(const QBrush& b) { m_endFlagBrush = b; }
    QColor lineColor() const { return m_lineColor; }
    void setLineColor(const QColor& c) { m_lineColor = c; }
    int lineWidth() const { return m_lineWidth; }
    void setLineWidth(int w) { m_lineWidth = w; }
    QColor outlineColor() const { return m_outlineColor; }
    void setOutlineColor(const QColor& c) { m_outlineColor = c; }
    int outlineWidth() const { return m_outlineWidth; }
    void setOutlineWidth(int w) { m_outlineWidth = w; }
    QColor cursorColor() const { return m_cursorColor; }
    void setCursorColor(const QColor& c) { m_cursorColor = c; }
    int cursorWidth() const { return m_cursorWidth; }
    void setCursorWidth(int w) { m_cursorWidth = w; }
    QColor markerFillColor() const { return m_markerFillColor; }
    void setMarkerFillColor(const QColor& c) { m_markerFillColor = c; }
    QColor markerLineColor() const { return m_markerLineColor; }
    void setMarkerLineColor(const QColor& c) { m_markerLineColor = c; }
    QColor markerOutlineColor() const { return m_markerOutlineColor; }
    void setMarkerOutlineColor(const QColor& c) { m_markerOutlineColor = c; }
    QColor gapColor() const { return m_gapColor; }
    void setGapColor(const QColor& c) { m_gapColor = c; }
    int markerWidth() const { return m_markerWidth; }
    void setMarkerWidth(int w) { m_markerWidth = w; }
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor& c) { m_textColor = c; }
    QPixmap cursorLinePixmap() const { return m_cursorLine; }
    void setCursorLinePixmap(const QPixmap& p);
    QPixmap cursorCirclePixmap() const { return m_cursorCircle; }
    void setCursorCirclePixmap(const QPixmap& p) { m_cursorCircle = p; }
    QDrawCursorFlags drawCursorFlags() const { return m_drawCursorFlags; }
    void setDrawCursorFlags(QDrawCursorFlags flags) { m_drawCursorFlags = flags; }
    bool drawGrids() const { return m_drawGrids; }
    void setDrawGrids(bool on) { m_drawGrids = on; }

    // Entry k gives segment k its fill, line and outline; later segments keep
    // the last entry.
    void setColors(const QVector<QBrush>& fills, const QVector<QColor>& lines, const QVector<QColor>& outlines);
    void SetDispValuesProvider(IGraphViewData& provider);
    void AddStaticUserDrawingObject(IUserDrawingObject* object, QRect rect, EUserDOOrder order, int id);
    void setTouchEnabled(bool on) { m_touchEnabled = on; }
    bool touchEnabled() const { return m_touchEnabled; }
    void EnablePanning(bool on) { m_panningEnabled = on; }
    void ShowCursor(bool on);
    void SetWaitingForClickMode(bool on);
    void ShowMarkers(bool reset);
    void HideMarkers();
    bool hasMarkedArea() const { return m_startOnly || m_markedShown; }
    void moveMarkStart(int index, bool commit);
    void moveMarkEnd(int index, bool commit);
    int cursorPos() const { return m_cursor; }
    int firstVisiblePointIndex() const;
    int lastVisiblePointIndex() const;
    bool IsEmpty() const { return m_points.isEmpty(); }

    // ISimpleGraphData
    zyrSimpleGraphView* GetControl() override { return this; }
    bool IndexToDrawAreaCoord(int index, QPoint& p) override;
    bool IndexToControlCoord(int index, QPoint& p) override;
    bool IsPointVisible(int index) override;
    QPixmap CreateCursorLinePixmap() override;
    void DrawOutlineText(QPainter* painter, const QRect& rect, int flags, const QString& text) override;

    // For tests and hosts that look at the caches.
    QPainterPath gapPath() const { return m_gapPath; }
    QPainterPath markedPath() const { return m_markedPath; }
    int livePanOffset() const { return m_livePan; }
    int panOffset() const { return m_pan; }
    bool isCursorLocked() const { return m_cursorLocked; }

signals:
    void cursorPosChanged(int);
    void markStartChanged(int);
    void markEndChanged(int);
    void Panning(int);
    void clicked(QString strObjName);
    void activated();
    void drawingAreaChanged(QRect rcNewArea);
    void TestSignal(int);

public slots:
    void removeMarkedArea();
    void setCursorPos(int index);
    void AlignCursorPos(EAlignCursorType type);
    void setMarkStart(int index);
    void setMarkEnd(int index);
    int getMarkStart() { return m_markStart; }
    int getMarkEnd() { return m_markEnd; }
    void moveMarkers(int start, int end);
    void setPanningStart(int index);
    void moveCursorRight();
    void moveCursorLeft();
    void lockCursorAt(EAlignCursorType align);
    void RefreshAll();
    void LockDataRefresh();
    void UnlockDataRefresh();
    void TestSlot();
    void setData(QVector<zyrPointData> data);
    void setZoomInData(QVector<zyrPointData> data, int start);
    void setZoomOutData(QVector<zyrPointData> data, int start);

protected:
    int mapXToIndex(int x) const;
    int visibleCursorPos() const;
    void setPanOffset(int offset);
    int GetIndexFromScreenX(int x) const;
    void UpdateLockedCursorData();
    void calculateVisibleBoundingPositions();
    void ensureIndexInVisibleRange(int& index) const;
    // Moves the start or the end mark; a commit rebuilds the marked area and
    // signals (both marks, swapped, when they crossed).
    void moveMark(bool start, int index, bool commit);
    void exchangeMarkers();
    void setVisibleCursorPos(int x);
    bool CalculateDrawingCursorPos(QPoint& p) const;
    void refreshPlot();
    void rebuildChart();
    void rebuildMarkedArea();
    void setMarkerPos(int, bool) {}
    void DrawTextLayer(QPainter&) {}

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum DragMode { NoDrag, CursorDrag, MarkStartDrag, MarkEndDrag };

    bool valid(int index) const { return index >= 0 && index < m_points.size(); }
    QPixmap GetBackgroundChart();
    QPixmap GetCursorLinePixmap();
    QPixmap GetCursorCirclePixmap();
    void PrepareMarkersPixmaps();
    void createTextLayerPixmap();
    void drawTexts(QPainter& painter);
    void DrawMarkers(QPainter& painter);
    void DrawFlags(QPainter& painter);
    void DrawCursor(QPainter& painter);
    void drawCursorText(QPainter& painter);
    // The segments that hold points, as [first, last] index ranges.
    struct Segment {
        int first;
        int last;
        int series; // its place in the data, for its colours
    };
    int segmentOf(int index) const;

    QVector<zyrPointData> m_series;
    QVector<QPoint> m_points;
    QVector<Segment> m_segments;
    QRect m_area;
    int m_chartWidth = 0;
    int m_pan = 0;
    int m_livePan = 0;
    int m_cursor = 0;
    bool m_cursorShown = true;
    bool m_cursorLocked = false;
    int m_lockedX = 0;
    int m_markStart = 0;
    int m_markEnd = 0;
    bool m_startOnly = false;
    bool m_markedShown = false;
    bool m_markedDirty = false;
    DragMode m_dragMode = NoDrag;
    int m_dragStart = 0;
    int m_firstVisible = 0;
    int m_lastVisible = 0;
    QPoint m_pressPos;
    bool m_refreshLocked = false;
    bool m_refreshPending = false;
    bool m_waitingForClick = false;
    bool m_touchEnabled = true;
    bool m_panningEnabled = true;
    bool m_drawGrids = true;
    QDrawCursorFlags m_drawCursorFlags = QDrawCursorFlags(edcDrawCircle | edcDrawLine);
    bool m_textLayerDirty = true;

    QPixmap m_startFlag;
    QPixmap m_endFlag;
    QBrush m_background;
    QBrush m_foreground;
    QBrush m_startFlagBrush;
    QBrush m_endFlagBrush;
    QColor m_lineColor = QColor(255, 96, 0);
    int m_lineWidth = 2;
    QColor m_outlineColor = Qt::black;
    int m_outlineWidth = 1;
    QColor m_cursorColor = QColor(126, 192, 0);
    int m_cursorWidth = 2;
    QColor m_markerFillColor = QColor(174, 158, 20);
    QColor m_markerLineColor = QColor(0, 132, 225);
    QColor m_markerOutlineColor = Qt::white;
    QColor m_gapColor = QColor(118, 116, 108, 128);
    int m_markerWidth = 2;
    QColor m_textColor = Qt::white;
    QVector<QBrush> m_fills;
    QVector<QColor> m_lines;
    QVector<QColor> m_outlines;

    IGraphViewData* m_provider = nullptr;
    struct DrawingObject {
        QRect rect;
        int id;
        IUserDrawingObject* object;
    };
    QVector<DrawingObject> m_objects;

    QPixmap m_plot;
    QPixmap m_chart;
    QPixmap m_textLayer;
    QPixmap m_cursorLine;
    bool m_cursorLineSupplied = false;
    QPixmap m_cursorCircle;
    QPixmap m_markerLine;
    QPixmap m_markerCircle;
    bool m_chartBuilt = false;
    QPainterPath m_chartPath;
    QPainterPath m_gapPath;
    QVector<QPainterPath> m_fillPaths;
    QPainterPath m_markedPath;
    bool m_markedDrawn = false;
    bool m_gapsDrawn = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(zyrSimpleGraphView::QDrawCursorFlags)
