// A profile chart: one series of samples drawn as a filled area under a
// line, split into segments at the caller's gap positions, each segment
// scaled to its own value range and laid side by side with a 10-pixel gap.
// The user zooms and pans within the series, drags a cursor and marks an
// interval. Positions of the cursor, the marks and the zoom window are
// percentages of the whole series.
//
// Costly work is done once per layout: the samples are placed in one pass,
// and the curve is reduced to at most four points per pixel column (first,
// lowest, highest, last), which draw the same picture as every sample.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QBrush>
#include <QColor>
#include <QDateTime>
#include <QPainterPath>
#include <QPixmap>
#include <QPointF>
#include <QVector>
#include <QWidget>

struct ZYRCONTROLS_EXPORT VertProfileData {
    QString dateTime; // ISO 8601
    float first = 0;  // distance
    float second = 0; // elevation
};

struct ZYRCONTROLS_EXPORT BaromData {
    QString dateTime; // ISO 8601
    float value = 0;  // pressure
};

class ZYRCONTROLS_EXPORT zyrChartPlot : public QWidget {
    Q_OBJECT
public:
    enum CHART_TYPE { X_Y = 0, DIST_ELEV, TIME_ELEV, TIME_PRESSURE };
    Q_ENUM(CHART_TYPE)

private:
    Q_PROPERTY(CHART_TYPE chartType READ chartType WRITE setChartType)
    Q_PROPERTY(QPixmap startFlag READ startFlag WRITE setStartFlag)
    Q_PROPERTY(QPixmap endFlag READ endFlag WRITE setEndFlag)
    Q_PROPERTY(QBrush background READ background WRITE setBackground)
    Q_PROPERTY(QBrush foreground READ foreground WRITE setForeground)
    Q_PROPERTY(QBrush startFlagBrush READ startFlagBrush WRITE setStartFlagBrush)
    Q_PROPERTY(QBrush endFlagBrush READ endFlagBrush WRITE setEndFlagBrush)
    Q_PROPERTY(int lowerRange READ lowerRange WRITE setLowerRange)
    Q_PROPERTY(int upperRange READ upperRange WRITE setUpperRange)
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

public:
    // One stored sample. Time charts keep their x, seconds since the epoch,
    // in double: a float holds it only to 128 seconds.
    struct ChartSample {
        QPointF position;
        QDateTime time;
        double first = 0;
        float second = 0;
    };

    explicit zyrChartPlot(QWidget* parent = nullptr);
    ~zyrChartPlot() override;

    // Gap positions are the samples where a new segment starts; positions
    // that are 0, repeated, out of order or past the end are dropped.
    void setData(const QVector<QPointF>& points, const QVector<int>& gaps);
    void setData(const QVector<VertProfileData>& data, const QVector<int>& gaps, CHART_TYPE type);
    void setData(const QVector<BaromData>& data, const QVector<int>& gaps);

    CHART_TYPE chartType() const { return m_type; }
    void setChartType(CHART_TYPE type);
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
    int lowerRange() const { return m_lowerRange; }
    void setLowerRange(int percent);
    int upperRange() const { return m_upperRange; }
    void setUpperRange(int percent);
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

    // Entry k overrides segment k's fill, line and outline; later segments
    // keep the last override.
    void setColors(const QVector<QBrush>& fills, const QVector<QColor>& lines, const QVector<QColor>& outlines);
    bool hasMarkedArea() const { return m_startSet || m_intervalComplete; }

    // State, for tests and hosts.
    const QVector<ChartSample>& samples() const { return m_samples; }
    QVector<int> segmentStarts() const { return m_gaps; }
    float zoomStart() const { return m_zoomStart; }
    float zoomEnd() const { return m_zoomEnd; }
    quint16 zoomFactor() const { return m_zoomFactor; }
    float cursorPosition() const { return m_cursor; }
    void setCursorPosition(float percent);
    float markStart() const { return m_markStart; }
    float markEnd() const { return m_markEnd; }
    int fullChartWidth() const { return m_fullWidth; }
    int scrollOffset() const { return m_offset; }
    QPainterPath gapPath() const { return m_gapPath; }
    // The marked interval's area, from the marked pieces of the curve.
    QPainterPath markedPath() const;
    // The index of the sample under a percentage of the series.
    int indexAt(float percent) const;

signals:
    void cursorPosChanged(CHART_TYPE, qreal);
    void markStartChanged(CHART_TYPE, qreal);
    void markEndChanged(CHART_TYPE, qreal);

public slots:
    void zoomIn();
    void zoomOut();
    void removeMarkedArea();

public:
    void calculateRanges();
    void updateRanges(float start, float end);
    void rebuildChart();
    void refreshPlot();
    QPixmap GetBackgroundChart();

protected:
    void updatePos();
    void updateZoomedPos();
    void zooooooom();
    void rebuildMarkedArea();
    enum Layer { CurveLayers = 1, MarkedLayer = 2, GapLayer = 4 };
    // Paints the given layers onto the background.
    void paintLayers(int layers);
    void drawTexts(QPainter* painter);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum DragMode { NoDrag = 0, CursorDrag, MarkStartDrag, MarkEndDrag };

    void layOut(CHART_TYPE type);
    void setGaps(const QVector<int>& gaps);
    double sampleX(const ChartSample& s) const;
    float sampleY(const ChartSample& s) const;
    QString numberText(double value) const;
    void pan();
    bool marksValid() const;
    qreal yAt(float percent) const;

    CHART_TYPE m_type = DIST_ELEV;
    QVector<ChartSample> m_samples;
    QVector<int> m_gaps{ 0 };
    QVector<float> m_minY, m_maxY, m_rangeY;
    QVector<double> m_minX, m_maxX, m_rangeX;
    double m_totalX = 0;
    QVector<float> m_segmentEnds;
    QVector<int> m_segmentLengths;
    QVector<QPolygonF> m_polylines;
    QVector<QRectF> m_areaBounds;
    QVector<QPolygonF> m_markedLines;
    QPainterPath m_gapPath;
    bool m_hasArea = false;

    float m_zoomStart = 0, m_zoomEnd = 100, m_zoomSpan = 100, m_zoomCentre = 50;
    quint16 m_zoomFactor = 1, m_zoomStep = 2;
    float m_cursor = 60, m_markStart = 0, m_markEnd = 0;
    float m_relCursor = 60, m_relMarkStart = 0, m_relMarkEnd = 0;
    bool m_startSet = false, m_intervalComplete = false;
    int m_fullWidth = 0;
    int m_offset = 0, m_offsetAtPress = 0;
    double m_xPerPixel = 1;

    bool m_marksMoved = false, m_markedDrawn = false, m_gapsDrawn = false;
    DragMode m_drag = NoDrag;
    float m_dragValue = 0;
    QPoint m_pressPoint;
    QPixmap m_frame;
    QPixmap m_background_;
    QRect m_backgroundRect;

    QPixmap m_startFlag, m_endFlag;
    QBrush m_background, m_foreground, m_startFlagBrush, m_endFlagBrush;
    int m_lowerRange = 0, m_upperRange = 100;
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
    QVector<QBrush> m_fills;
    QVector<QColor> m_lines, m_outlines;
};
