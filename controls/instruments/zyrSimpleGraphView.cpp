#include "controls/instruments/zyrSimpleGraphView.h"
#include "controls/instruments/ChartBrushes.h"

#include "controls/core/ZyrelleControls.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QConicalGradient>

#include <algorithm>
#include <cstdlib>

namespace {

// A press this close to a marker or the cursor (in pixels) takes it.
const int kHitDistance = 16;

QPolygon polyline(const QVector<QPoint>& points, int first, int last)
{
    QPolygon line;
    line.reserve(last - first + 1);
    for (int i = first; i <= last; ++i)
        line << points[i];
    return line;
}

} // namespace

zyrSimpleGraphView::zyrSimpleGraphView(QWidget* parent)
    : QWidget(parent)
    , m_area(rect())
    , m_background(QColor(255, 255, 255, 128), Qt::SolidPattern)
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_chartWidth = m_area.width();

    const zyr::charts::DefaultBrushes brushes = zyr::charts::defaultBrushes();
    m_foreground = brushes.foreground;
    m_startFlagBrush = brushes.startFlag;
    m_endFlagBrush = brushes.endFlag;

    if (QObject* sound = ZyrelleControls::GetSoundManager())
        connect(this, SIGNAL(clicked(QString)), sound, SLOT(onPlayWidgetSound(const QString&)));
}

zyrSimpleGraphView::~zyrSimpleGraphView() = default;

// ---------------------------------------------------------------- data

void zyrSimpleGraphView::setData(QVector<zyrPointData> data)
{
    if (data.isEmpty())
        return;
    m_series = data;
    m_points.clear();
    m_segments.clear();
    for (int s = 0; s < m_series.size(); ++s) {
        const zyrPointData& segment = m_series[s];
        if (segment.isEmpty())
            continue; // an empty segment has no place on the chart
        m_segments.push_back({ m_points.size(), m_points.size() + segment.size() - 1, s });
        m_points += segment;
    }
    m_textLayerDirty = true;
    m_markedShown = false;
    m_markStart = m_markEnd = -1;
    // A cursor left beyond shorter data would index past the points.
    if (!m_points.isEmpty())
        m_cursor = std::min(std::max(m_cursor, 0), m_points.size() - 1);
    setPanOffset(0);
    rebuildChart();
    refreshPlot();
}

void zyrSimpleGraphView::setPanOffset(int offset)
{
    if (m_points.isEmpty() || offset < 0 || offset >= m_points.size())
        return;
    m_chartWidth = m_points.last().x() - m_points.first().x() + 1;
    m_gapsDrawn = false;
    m_textLayerDirty = true;
    m_pan = m_livePan = -offset;
}

void zyrSimpleGraphView::setPanningStart(int index)
{
    if (!valid(index))
        return; // a start outside the points means nothing
    setPanOffset(m_points[index].x());
    if (m_cursorShown)
        setVisibleCursorPos(m_area.width() / 2);
    refreshPlot();
}

void zyrSimpleGraphView::setZoomInData(QVector<zyrPointData> data, int start)
{
    const bool marked = hasMarkedArea();
    LockDataRefresh();
    setData(data);
    setPanningStart(start);
    setVisibleCursorPos(width() / 2);
    if (marked) {
        moveMarkers(-1, -1);
        ShowMarkers(false);
    }
    UnlockDataRefresh();
}

void zyrSimpleGraphView::setZoomOutData(QVector<zyrPointData> data, int start)
{
    const bool marked = hasMarkedArea();
    LockDataRefresh();
    setData(data);
    setPanningStart(start);
    setVisibleCursorPos(width() / 2);
    if (marked)
        ShowMarkers(true);
    UnlockDataRefresh();
}

void zyrSimpleGraphView::setDrawingArea(QRect area)
{
    if (area == m_area)
        return;
    if (!m_cursorLineSupplied)
        m_cursorLine = QPixmap();
    m_textLayerDirty = true;
    m_textLayer = QPixmap();
    m_markerLine = QPixmap();
    m_area = area;
    emit drawingAreaChanged(m_area);
    setPanOffset(0);
    rebuildChart();
    refreshPlot();
}

void zyrSimpleGraphView::TestSlot()
{
    QRect area = m_area;
    area.setLeft(100);
    setDrawingArea(area);
}

void zyrSimpleGraphView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_area.isEmpty())
        m_area = QRect(m_area.topLeft(), m_area.size().boundedTo(size()));
}

void zyrSimpleGraphView::setCursorLinePixmap(const QPixmap& p)
{
    m_cursorLine = p;
    m_cursorLineSupplied = true;
}

void zyrSimpleGraphView::setColors(
    const QVector<QBrush>& fills, const QVector<QColor>& lines, const QVector<QColor>& outlines)
{
    m_fills = fills;
    m_lines = lines;
    m_outlines = outlines;
}

void zyrSimpleGraphView::SetDispValuesProvider(IGraphViewData& provider)
{
    m_provider = &provider;
    m_textLayerDirty = true;
}

void zyrSimpleGraphView::AddStaticUserDrawingObject(IUserDrawingObject* object, QRect rect, EUserDOOrder, int id)
{
    if (!object)
        return;
    m_objects.push_back({ rect, id, object });
    object->Init(id, this);
}

void zyrSimpleGraphView::ShowCursor(bool on)
{
    m_cursorShown = on;
    update();
}

void zyrSimpleGraphView::SetWaitingForClickMode(bool on)
{
    m_waitingForClick = on;
    update();
}

void zyrSimpleGraphView::refreshPlot()
{
    if (m_refreshLocked) {
        m_refreshPending = true;
        return;
    }
    if (!m_chartBuilt)
        return;
    m_plot = GetBackgroundChart();
    update();
}

void zyrSimpleGraphView::LockDataRefresh()
{
    m_refreshLocked = true;
}

void zyrSimpleGraphView::UnlockDataRefresh()
{
    m_refreshLocked = false;
    if (m_refreshPending) {
        m_refreshPending = false;
        refreshPlot();
    }
}

void zyrSimpleGraphView::RefreshAll()
{
    rebuildChart();
    refreshPlot();
}

// ---------------------------------------------------------------- coordinates

int zyrSimpleGraphView::mapXToIndex(int x) const
{
    if (m_points.isEmpty() || x < m_points.first().x())
        return -1;
    if (x > m_points.last().x())
        return m_points.size() - 1;
    // The last point at or left of x.
    const auto after = std::upper_bound(
        m_points.begin(), m_points.end(), x, [](int value, const QPoint& p) { return value < p.x(); });
    return int(after - m_points.begin()) - 1;
}

int zyrSimpleGraphView::GetIndexFromScreenX(int x) const
{
    const int i = mapXToIndex(x - m_livePan);
    return valid(i) && m_points[i].x() == x - m_livePan ? i : -1;
}

int zyrSimpleGraphView::visibleCursorPos() const
{
    return valid(m_cursor) ? m_points[m_cursor].x() + m_livePan : -1;
}

int zyrSimpleGraphView::firstVisiblePointIndex() const
{
    return mapXToIndex(-m_livePan);
}

int zyrSimpleGraphView::lastVisiblePointIndex() const
{
    return mapXToIndex(m_area.width() - m_livePan - 1);
}

void zyrSimpleGraphView::calculateVisibleBoundingPositions()
{
    m_firstVisible = mapXToIndex(-m_livePan);
    m_lastVisible = mapXToIndex(m_area.width() - m_pan);
}

void zyrSimpleGraphView::ensureIndexInVisibleRange(int& index) const
{
    index = std::max(index, m_firstVisible);
    index = std::min(index, m_lastVisible);
}

bool zyrSimpleGraphView::CalculateDrawingCursorPos(QPoint& p) const
{
    if (m_cursorLocked) {
        const int i = GetIndexFromScreenX(m_lockedX);
        if (i < 0)
            return false;
        p = QPoint(m_lockedX, m_points[i].y());
        return true;
    }
    if (!valid(m_cursor))
        return false;
    p = m_points[m_cursor];
    if (p.y() < -1024)
        p.setY(m_area.top());
    p.rx() += m_livePan;
    return true;
}

bool zyrSimpleGraphView::IndexToDrawAreaCoord(int index, QPoint& p)
{
    if (!valid(index))
        return false;
    p = QPoint(m_points[index].x() + m_livePan, m_points[index].y());
    return true;
}

bool zyrSimpleGraphView::IndexToControlCoord(int index, QPoint& p)
{
    if (!IndexToDrawAreaCoord(index, p))
        return false;
    p += m_area.topLeft();
    return true;
}

bool zyrSimpleGraphView::IsPointVisible(int index)
{
    QPoint p;
    return IndexToDrawAreaCoord(index, p) && p.x() >= 0 && p.x() < m_area.width();
}

// ---------------------------------------------------------------- cursor

void zyrSimpleGraphView::setCursorPos(int index)
{
    if (!valid(index) || index == m_cursor)
        return;
    m_cursor = index;
    refreshPlot();
    emit cursorPosChanged(index);
}

void zyrSimpleGraphView::setVisibleCursorPos(int x)
{
    // The pan offset in pixels doubles as an index: one point a column.
    if (m_points.isEmpty() || !valid(-m_pan))
        return;
    setCursorPos(x + mapXToIndex(m_points[-m_pan].x()));
}

void zyrSimpleGraphView::AlignCursorPos(EAlignCursorType type)
{
    if (type == Centre)
        setVisibleCursorPos(m_area.width() / 2);
}

void zyrSimpleGraphView::lockCursorAt(EAlignCursorType align)
{
    switch (align) {
    case RightEdge:
        m_cursorLocked = true;
        m_lockedX = m_area.width() - 1;
        break;
    case LeftEdge:
        m_cursorLocked = true;
        m_lockedX = 0;
        break;
    case Centre:
        m_cursorLocked = true;
        m_lockedX = m_area.width() / 2;
        break;
    default:
        m_cursorLocked = false;
        break;
    }
    UpdateLockedCursorData();
}

void zyrSimpleGraphView::UpdateLockedCursorData()
{
    if (!m_cursorLocked)
        return;
    const int i = GetIndexFromScreenX(m_lockedX);
    if (valid(i)) {
        m_cursor = i;
        emit cursorPosChanged(i);
    }
}

void zyrSimpleGraphView::moveCursorRight()
{
    if (!m_cursorShown || !valid(m_cursor) || m_cursor + 1 >= m_points.size())
        return;
    if (m_points[m_cursor + 1].x() + m_livePan < m_area.width() - 1) {
        ++m_cursor;
        emit cursorPosChanged(m_cursor);
        update();
    }
}

void zyrSimpleGraphView::moveCursorLeft()
{
    if (!m_cursorShown || m_cursor <= 0 || !valid(m_cursor))
        return;
    if (m_points[m_cursor - 1].x() + m_livePan >= 0) {
        --m_cursor;
        emit cursorPosChanged(m_cursor);
        update();
    }
}

// ---------------------------------------------------------------- markers

void zyrSimpleGraphView::setMarkStart(int index)
{
    if (!valid(index))
        return;
    if (!m_startOnly && !m_markedShown)
        m_startOnly = true;
    if (index == m_markStart)
        return;
    m_markStart = index;
    rebuildMarkedArea();
    refreshPlot();
}

void zyrSimpleGraphView::setMarkEnd(int index)
{
    if (!valid(index) || !hasMarkedArea())
        return;
    m_markedShown = true;
    m_startOnly = false;
    if (index == m_markEnd)
        return;
    m_markEnd = index;
    rebuildMarkedArea();
    refreshPlot();
}

void zyrSimpleGraphView::moveMarkers(int start, int end)
{
    const int w = m_area.width();
    if (start == -1)
        start = mapXToIndex(-m_livePan);
    else if (start == -2)
        start = mapXToIndex(w / 3 - m_livePan);
    if (end == -1)
        end = mapXToIndex(w - m_livePan);
    else if (end == -2)
        end = mapXToIndex(w / 3 * 2 - m_livePan);
    m_markStart = start;
    m_markEnd = end;
    m_markedShown = true;
    emit markStartChanged(m_markStart);
    emit markEndChanged(m_markEnd);
    m_chart = QPixmap();
    rebuildMarkedArea();
    refreshPlot();
    m_textLayerDirty = true;
    update();
}

void zyrSimpleGraphView::moveMarkStart(int index, bool commit)
{
    moveMark(true, index, commit);
}

void zyrSimpleGraphView::moveMarkEnd(int index, bool commit)
{
    moveMark(false, index, commit);
}

void zyrSimpleGraphView::moveMark(bool start, int index, bool commit)
{
    if (m_points.isEmpty())
        return;
    index = std::min(std::max(index, 0), m_points.size() - 1);
    if (!m_startOnly && !m_markedShown)
        m_startOnly = true;
    int& mark = start ? m_markStart : m_markEnd;
    if (index == mark && !commit)
        return;
    mark = index;
    if (commit) {
        m_markedPath = QPainterPath();
        m_markedDirty = true;
        m_chart = QPixmap();
        rebuildMarkedArea();
        refreshPlot();
        m_textLayerDirty = true;
        if (m_markEnd < m_markStart)
            exchangeMarkers();
        else if (start)
            emit markStartChanged(m_markStart);
        else
            emit markEndChanged(m_markEnd);
    }
    update();
}

void zyrSimpleGraphView::exchangeMarkers()
{
    std::swap(m_markStart, m_markEnd);
    emit markStartChanged(m_markStart);
    emit markEndChanged(m_markEnd);
}

void zyrSimpleGraphView::ShowMarkers(bool reset)
{
    m_markedShown = true;
    if (reset || m_markStart == -1 || m_markEnd == -1) {
        moveMarkers(-2, -2);
        return;
    }
    m_chart = QPixmap();
    m_textLayerDirty = true;
    rebuildMarkedArea();
    refreshPlot();
    update();
}

void zyrSimpleGraphView::HideMarkers()
{
    m_markedShown = false;
    m_textLayerDirty = true;
    m_chart = QPixmap();
    rebuildChart();
    refreshPlot();
}

void zyrSimpleGraphView::removeMarkedArea()
{
    m_startOnly = m_markedShown = false;
    m_markStart = m_markEnd = 0;
    rebuildChart();
    refreshPlot();
}

// ---------------------------------------------------------------- paths

int zyrSimpleGraphView::segmentOf(int index) const
{
    for (int s = 0; s < m_segments.size(); ++s)
        if (index <= m_segments[s].last)
            return s;
    return m_segments.size() - 1;
}

void zyrSimpleGraphView::rebuildChart()
{
    m_chartPath = QPainterPath();
    m_gapPath = QPainterPath();
    m_fillPaths.clear();
    m_chartBuilt = false;
    if (m_points.isEmpty())
        return;
    const int h = m_area.height();
    m_chartPath.moveTo(m_points.first().x(), h - 1);
    for (int s = 0; s < m_segments.size(); ++s) {
        const Segment& seg = m_segments[s];
        QPainterPath fill;
        fill.moveTo(m_points[seg.first].x(), h - 1);
        for (int i = seg.first; i <= seg.last; ++i) {
            fill.lineTo(m_points[i]);
            m_chartPath.lineTo(m_points[i]);
        }
        fill.lineTo(m_points[seg.last].x(), h - 1);
        fill.closeSubpath();
        m_fillPaths.push_back(fill);
        if (s + 1 < m_segments.size()) {
            const int lastX = m_points[seg.last].x();
            const int nextX = m_points[m_segments[s + 1].first].x();
            m_chartPath.lineTo(lastX, h + 5);
            m_chartPath.lineTo(nextX, h + 5);
            m_gapPath.addRect(lastX, 0, nextX - lastX, h);
        }
    }
    m_chartPath.lineTo(m_points.last().x(), h - 1);
    m_chartPath.closeSubpath();
    m_chartBuilt = true;
    if (!m_gapPath.isEmpty())
        m_gapsDrawn = false;
    rebuildMarkedArea();
    m_textLayerDirty = true;
    m_chart = QPixmap();
}

void zyrSimpleGraphView::rebuildMarkedArea()
{
    QPainterPath path;
    // Only two valid, different markers enclose an area.
    if (m_markedShown && !m_points.isEmpty() && valid(m_markStart) && valid(m_markEnd)
        && m_markStart != m_markEnd) {
        const int a = std::min(m_markStart, m_markEnd);
        const int b = std::max(m_markStart, m_markEnd);
        const int h = m_area.height();
        const int first = segmentOf(a);
        const int last = segmentOf(b);
        for (int s = first; s <= last; ++s) {
            const int from = s == first ? a : m_segments[s].first;
            const int to = s == last ? b : m_segments[s].last;
            path.moveTo(m_points[from].x(), h - 1);
            for (int i = from; i <= to; ++i)
                path.lineTo(m_points[i]);
            if (s < last) {
                path.lineTo(m_points[to].x(), h + 5);
                path.lineTo(m_points[m_segments[s + 1].first].x(), h + 5);
            }
        }
        path.lineTo(m_points[b].x(), h - 1);
        path.closeSubpath();
    }
    m_markedPath = path;
    m_markedDirty = false;
    m_markedDrawn = false;
}

// ---------------------------------------------------------------- pictures

QPixmap zyrSimpleGraphView::GetBackgroundChart()
{
    if (m_chart.isNull() && !m_points.isEmpty() && m_chartWidth > 0 && m_area.height() > 0) {
        m_chart = QPixmap(m_chartWidth, m_area.height());
        m_chart.fill(m_background.color());
        QPainter p(&m_chart);
        p.fillRect(m_chart.rect(), m_background);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        QBrush brush = m_foreground;
        for (int s = 0; s < m_segments.size(); ++s) {
            const int k = m_segments[s].series;
            if (k < m_fills.size())
                brush = m_fills[k];
            p.fillPath(m_fillPaths[s], brush);
        }
        if (m_markedShown && valid(m_markStart) && valid(m_markEnd) && m_markStart != m_markEnd) {
            p.fillPath(m_markedPath, m_markerFillColor);
            m_markedDrawn = true;
        }
        p.setBrush(Qt::NoBrush);
        QColor outline = m_outlineColor;
        for (const Segment& seg : qAsConst(m_segments)) {
            if (seg.series < m_outlines.size())
                outline = m_outlines[seg.series];
            p.setPen(QPen(outline, m_lineWidth + 2 * m_outlineWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            p.drawPolyline(polyline(m_points, seg.first, seg.last));
        }
        QColor line = m_lineColor;
        for (const Segment& seg : qAsConst(m_segments)) {
            if (seg.series < m_lines.size())
                line = m_lines[seg.series];
            p.setPen(QPen(line, m_lineWidth, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            p.drawPolyline(polyline(m_points, seg.first, seg.last));
        }
        if (!m_gapPath.isEmpty()) {
            p.fillPath(m_gapPath, m_gapColor);
            m_gapsDrawn = true;
        }
    }
    return m_chart;
}

void zyrSimpleGraphView::createTextLayerPixmap()
{
    if (!m_drawGrids && !m_provider)
        return;
    if (m_textLayer.isNull() || m_textLayer.size() != m_area.size())
        m_textLayer = QPixmap(m_area.size().expandedTo(QSize(1, 1)));
    m_textLayer.fill(Qt::transparent);
    QPainter p(&m_textLayer);
    if (m_drawGrids) {
        p.setPen(QPen(m_background.color().lighter(150), 1, Qt::DashLine, Qt::SquareCap, Qt::BevelJoin));
        for (int y = 0; y < m_area.height(); y += 40)
            p.drawLine(0, y, m_area.width(), y);
    }
    drawTexts(p);
    m_textLayerDirty = false;
}

void zyrSimpleGraphView::drawTexts(QPainter& painter)
{
    if (!m_provider || m_points.isEmpty())
        return;
    QFont font = painter.font();
    font.setPointSize(12);
    font.setBold(false);
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(m_textColor, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QFontMetrics metrics(font);
    const QRect chart(0, 0, m_chartWidth, m_area.height());
    const int n = m_points.size();

    int first = m_markedShown ? m_markStart : mapXToIndex(-m_livePan);
    first = std::min(std::max(first, 0), n - 1);
    QString text = m_provider->GetFirstText(first);
    QRect r = metrics.boundingRect(text);
    painter.save();
    painter.translate(chart.bottomLeft() + QPoint(r.height(), -8));
    painter.rotate(-90);
    DrawOutlineText(&painter, r, Qt::AlignLeft, text);
    painter.restore();

    int last = m_markedShown ? m_markEnd : mapXToIndex(m_area.width() - m_livePan - 1);
    last = std::min(std::max(last, 0), n - 1);
    text = m_provider->GetLastText(last);
    const QRect r2 = metrics.boundingRect(text);
    painter.save();
    painter.translate(chart.bottomLeft() + QPoint(m_area.width(), -8));
    painter.rotate(-90);
    DrawOutlineText(&painter, r2, Qt::AlignLeft, text);
    painter.restore();

    text = m_provider->GetRangeText(first, last);
    r = metrics.boundingRect(text);
    painter.save();
    painter.translate(chart.left() + (m_area.width() - r.width()) / 2, chart.bottom());
    DrawOutlineText(&painter, r, Qt::AlignCenter, text);
    painter.restore();
}

void zyrSimpleGraphView::DrawOutlineText(QPainter* painter, const QRect& rect, int flags, const QString& text)
{
    const QPen kept = painter->pen();
    painter->setPen(palette().color(QPalette::BrightText));
    for (const QPoint& d : { QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1) })
        painter->drawText(rect.translated(d), flags, text);
    painter->setPen(palette().color(QPalette::Text));
    painter->drawText(rect, flags, text);
    painter->setPen(kept);
}

QPixmap zyrSimpleGraphView::GetCursorLinePixmap()
{
    if (m_cursorLine.isNull())
        m_cursorLine = CreateCursorLinePixmap();
    return m_cursorLine;
}

QPixmap zyrSimpleGraphView::CreateCursorLinePixmap()
{
    const int h = std::max(1, m_area.height());
    const int w = std::max(1, 2 * (m_outlineWidth + 2 * m_cursorWidth));
    QPixmap pixmap(w, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const int band = m_cursorWidth + 2 * m_outlineWidth;
    QLinearGradient outer(0, 0, 1, 0);
    outer.setCoordinateMode(QGradient::ObjectBoundingMode);
    outer.setColorAt(0, m_cursorColor.darker(200));
    outer.setColorAt(0.5, m_cursorColor);
    outer.setColorAt(1, m_cursorColor.darker(200));
    p.fillRect(QRect(w / 2 - band / 2, 0, band, h), outer);
    QColor shade = m_cursorColor.darker(150);
    shade.setAlpha(200);
    QColor fade = m_background.color();
    fade.setAlpha(10);
    QLinearGradient inner(0, 0, 1, 0);
    inner.setCoordinateMode(QGradient::ObjectBoundingMode);
    inner.setColorAt(0, shade);
    inner.setColorAt(1, fade);
    p.fillRect(QRect(w / 2 - m_cursorWidth / 2, 0, m_cursorWidth, h), inner);
    return pixmap;
}

QPixmap zyrSimpleGraphView::GetCursorCirclePixmap()
{
    if (m_cursorCircle.isNull()) {
        const int side = std::max(1, 5 * m_cursorWidth);
        m_cursorCircle = QPixmap(side, side);
        m_cursorCircle.fill(Qt::transparent);
        QPainter p(&m_cursorCircle);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF centre(side / 2.0, side / 2.0);
        QColor fill = m_background.color();
        fill.setAlpha(200);
        p.setPen(QPen(m_lineColor.lighter(150), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(fill);
        p.drawEllipse(centre, 2.0 * m_cursorWidth, 2.0 * m_cursorWidth);
        p.setPen(Qt::NoPen);
        p.setBrush(m_lineColor.darker(120));
        p.drawEllipse(centre, qreal(m_cursorWidth), qreal(m_cursorWidth));
    }
    return m_cursorCircle;
}

void zyrSimpleGraphView::PrepareMarkersPixmaps()
{
    if (!m_markerLine.isNull() && m_markerCircle.isNull())
        return;
    QLinearGradient gradient;
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0, m_markerLineColor.darker(200));
    gradient.setColorAt(1, m_markerLineColor.lighter(150));

    const int w = m_markerWidth + 3;
    const int h = std::max(1, m_area.height());
    m_markerLine = QPixmap(w, h);
    m_markerLine.fill(Qt::transparent);
    {
        QPainter p(&m_markerLine);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(m_markerOutlineColor, m_markerWidth + 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(w / 2, 3, w / 2, h - 10);
        p.setPen(QPen(QBrush(gradient), m_markerWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(w / 2, 3, w / 2, h - 10);
    }
    const int side = std::max(1, 5 * m_markerWidth);
    m_markerCircle = QPixmap(side, side);
    m_markerCircle.fill(Qt::transparent);
    QPainter p(&m_markerCircle);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(gradient);
    p.setPen(QPen(m_markerOutlineColor, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawEllipse(QPointF(side / 2.0, side / 2.0), 2.0 * m_markerWidth, 2.0 * m_markerWidth);
}

void zyrSimpleGraphView::DrawMarkers(QPainter& painter)
{
    const int n = m_points.size();
    if (hasMarkedArea() && valid(m_markStart)) {
        const QPoint p(m_points[m_markStart].x() + m_livePan, m_points[m_markStart].y());
        PrepareMarkersPixmaps();
        const int t = std::max(1, m_area.height() - p.y() - 1);
        painter.drawPixmap(QPoint(m_area.x() + p.x() - m_markerLine.width() / 2, m_area.y() + p.y()), m_markerLine,
            QRect(0, 0, m_markerLine.width(), t));
        painter.drawPixmap(m_area.x() + p.x() - m_markerCircle.width() / 2,
            m_area.y() + p.y() - m_markerCircle.height() / 2, m_markerCircle);
    }
    if (m_markedShown && valid(m_markStart) && valid(m_markEnd) && m_markStart != m_markEnd && n > 0) {
        const QPoint p(m_points[m_markEnd].x() + m_livePan, m_points[m_markEnd].y());
        PrepareMarkersPixmaps();
        const int t = std::max(1, m_area.height() - p.y() - 1);
        painter.drawPixmap(QPoint(m_area.x() + p.x() - m_markerLine.width() / 2, m_area.y() + p.y()), m_markerLine,
            QRect(0, 0, m_markerLine.width(), t));
        painter.drawPixmap(m_area.x() + p.x() - m_markerCircle.width() / 2,
            m_area.bottom() - 2 * (m_cursorWidth + m_outlineWidth), m_markerCircle);
    }
}

void zyrSimpleGraphView::DrawFlags(QPainter& painter)
{
    if (m_points.isEmpty())
        return;
    if (m_pan == 0 && !m_startFlag.isNull())
        painter.drawPixmap(m_points.first().x(), m_points.first().y() - m_startFlag.height(), m_startFlag);
    if (m_pan == m_area.width() - m_chartWidth && !m_endFlag.isNull())
        painter.drawPixmap(m_points.last().x(), m_points.last().y() - m_endFlag.height(), m_endFlag);
}

void zyrSimpleGraphView::DrawCursor(QPainter& painter)
{
    if (m_points.isEmpty() || !m_drawCursorFlags)
        return;
    m_cursor = std::min(std::max(m_cursor, 0), m_points.size() - 1);
    QPoint p;
    if (!CalculateDrawingCursorPos(p))
        return;
    painter.setClipRect(m_area);
    if (m_drawCursorFlags & edcDrawLine) {
        const QPixmap line = GetCursorLinePixmap();
        painter.drawPixmap(m_area.x() + p.x() - line.width() / 2, m_area.y(), line);
    }
    if (m_drawCursorFlags & edcDrawCircle) {
        const QPixmap circle = GetCursorCirclePixmap();
        painter.drawPixmap(
            m_area.x() + p.x() - circle.width() / 2, m_area.y() + p.y() - circle.height() / 2, circle);
    }
    painter.setClipRect(rect());
}

void zyrSimpleGraphView::drawCursorText(QPainter& painter)
{
    if (m_waitingForClick || !m_provider || !valid(m_cursor))
        return;
    QFont font = painter.font();
    font.setPointSize(10);
    font.setBold(true);
    painter.setFont(font);
    const QPoint p = m_points[m_cursor];
    const int index = mapXToIndex(p.x() + m_area.x());
    const int y = p.y() + m_area.y();
    QString line1, line2;
    m_provider->GetCursorTexts(index, y, line1, line2);
    painter.setPen(QPen(palette().text(), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QFontMetrics metrics(font);
    QRect r1 = metrics.boundingRect(line1);
    QRect r2 = metrics.boundingRect(line2);
    const int m = std::max(r1.width(), r2.width());
    const int offset = m_area.x() + visibleCursorPos() - 2 * m_cursorWidth - m < m_area.left()
        ? 2 * m_cursorWidth + m_livePan
        : m_livePan - 2 * m_cursorWidth - r1.width();
    int top = y - r2.height() - r1.height();
    if (top < 0)
        top = y;
    const QPoint e(p.x() + m_area.x() + offset, top);
    r2.moveTopLeft(e);
    r1.moveTopLeft(e + QPoint(0, r2.height()));
    painter.setBrush(palette().base());
    painter.drawRoundedRect(QRect(e, QSize(m, r1.height() + r2.height())), 5, 5);
    painter.drawText(r1, Qt::AlignCenter, line1);
    painter.drawText(r2, Qt::AlignCenter, line2);
}

void zyrSimpleGraphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_plot.isNull())
        painter.drawPixmap(m_area, m_plot, QRect(QPoint(-m_livePan, 0), m_area.size()));
    if (m_textLayerDirty)
        createTextLayerPixmap();
    if (!m_textLayer.isNull())
        painter.drawPixmap(m_area.topLeft(), m_textLayer);
    for (const DrawingObject& o : qAsConst(m_objects))
        o.object->Draw(painter, o.id, QRect(m_area.topLeft(), o.rect.size()), this);
    DrawMarkers(painter);
    DrawFlags(painter);
    if (m_cursorShown) {
        DrawCursor(painter);
        painter.setRenderHint(QPainter::Antialiasing);
        drawCursorText(painter);
    }
}

// ---------------------------------------------------------------- touch

void zyrSimpleGraphView::mousePressEvent(QMouseEvent* event)
{
    emit clicked(objectName());
    QWidget::mousePressEvent(event);
    if (m_points.isEmpty())
        return;
    if (m_waitingForClick)
        emit activated();
    m_pressPos = QPoint(event->x() - m_area.left(), event->y());
    auto near = [&](int index) {
        return valid(index) && std::abs(m_pressPos.x() - (m_points[index].x() + m_pan)) < kHitDistance;
    };
    m_dragMode = NoDrag;
    if (m_touchEnabled && m_cursorShown && !m_cursorLocked && near(m_cursor)) {
        m_dragMode = CursorDrag;
        m_dragStart = m_cursor;
    } else if (m_touchEnabled && hasMarkedArea() && near(m_markStart)) {
        m_dragMode = MarkStartDrag;
        m_dragStart = m_markStart;
    } else if (m_touchEnabled && m_markedShown && near(m_markEnd)) {
        m_dragMode = MarkEndDrag;
        m_dragStart = m_markEnd;
    }
    if (m_dragMode == MarkStartDrag || m_dragMode == MarkEndDrag) {
        m_markedPath = QPainterPath();
        m_markedDirty = true;
        m_chart = QPixmap();
    }
    calculateVisibleBoundingPositions();
}

void zyrSimpleGraphView::mouseMoveEvent(QMouseEvent* event)
{
    QWidget::mouseMoveEvent(event);
    if (m_points.isEmpty())
        return;
    const int dx = event->x() - m_area.left() - m_pressPos.x();
    const int minPan = m_area.width() - m_chartWidth;
    if (m_dragMode == NoDrag) {
        if (!m_panningEnabled)
            return;
        const int offset = m_pan + dx;
        if (offset > minPan && offset <= 0)
            m_livePan = std::min(std::max(offset, minPan), 0);
        UpdateLockedCursorData();
        update();
        return;
    }
    if (!m_touchEnabled || !valid(m_dragStart))
        return;
    int index = mapXToIndex(dx + m_points[m_dragStart].x());
    index = std::min(std::max(index, 0), m_points.size() - 1);
    ensureIndexInVisibleRange(index);
    if (m_dragMode == CursorDrag) {
        m_cursor = index;
        emit cursorPosChanged(m_cursor);
    } else {
        (m_dragMode == MarkStartDrag ? m_markStart : m_markEnd) = index;
        m_markedDirty = true;
    }
    update();
}

void zyrSimpleGraphView::mouseReleaseEvent(QMouseEvent* event)
{
    QWidget::mouseReleaseEvent(event);
    if (m_points.isEmpty())
        return;
    if (m_dragMode == NoDrag) {
        if (m_cursorShown && event->pos() == m_pressPos) {
            setCursorPos(mapXToIndex(event->x() - m_livePan));
            return;
        }
        if (m_panningEnabled && m_livePan != m_pan) {
            setPanOffset(-m_livePan);
            emit Panning(mapXToIndex(-m_livePan));
            refreshPlot();
        }
        return;
    }
    if (m_markedDirty) {
        rebuildMarkedArea();
        refreshPlot();
    }
    if (m_touchEnabled) {
        if (m_dragMode == CursorDrag) {
            emit cursorPosChanged(m_cursor);
        } else {
            m_textLayerDirty = true;
            if (m_markEnd < m_markStart)
                exchangeMarkers();
            else if (m_dragMode == MarkStartDrag)
                emit markStartChanged(m_markStart);
            else
                emit markEndChanged(m_markEnd);
            update();
        }
    }
    m_dragMode = NoDrag;
}
