#include "controls/instruments/zyrColorPaletteCtrl.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QTimerEvent>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace {

// Between neighbouring swatches of a palette.
const int kSpacing = 4;
const QColor kShadowNear(0, 0, 0, 200);
const QColor kShadowFar(0, 0, 0, 30);

} // namespace

// ---- the shared pictures

QPixmap CPaletteCache::GetIndicatorShadow(QSize size, const QRect& rect, int offset, int radius, int margin)
{
    if (size == m_lastSize && offset == m_shadowOffset && margin == m_margin && !m_shadow.isNull())
        return m_shadow;
    m_lastSize = size;
    m_shadowRadius = radius;
    m_margin = margin;
    m_shadowOffset = offset;
    m_shadow = QPixmap(size);
    m_shadow.fill(QColor(0, 0, 0, 0));
    if (!m_shadow.isNull()) {
        QPainter painter(&m_shadow);
        painter.setRenderHint(QPainter::Antialiasing);
        zyrActiveColorIndicatorCtrl::DrawShadow(&painter, rect, offset, radius);
    }
    return m_shadow;
}

QPixmap CPaletteCache::GetSelectionPixmap(const QSize& size)
{
    m_lastSize = size;
    if (m_selection.isNull() || m_selection.size() != size)
        m_selection = zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(size, false);
    return m_selection;
}

QPixmap CPaletteCache::GetSemiTransSelectionPixmap(const QSize& size)
{
    m_lastSize = size;
    if (m_semiTransSelection.isNull() || m_semiTransSelection.size() != size)
        m_semiTransSelection = zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(size, true);
    return m_semiTransSelection;
}

// ---- the plain swatch

zyrColorIndicatorCtrl::zyrColorIndicatorCtrl(QWidget* parent)
    : QWidget(parent)
{
}

zyrColorIndicatorCtrl::zyrColorIndicatorCtrl(unsigned int color, QWidget* parent)
    : QWidget(parent)
    , m_color(color)
{
}

void zyrColorIndicatorCtrl::setColorPropery(QColor color)
{
    setColor(color.rgb());
}

bool zyrColorIndicatorCtrl::setMargin(int margin)
{
    m_margin = margin;
    update();
    return true;
}

void zyrColorIndicatorCtrl::setColor(unsigned int color)
{
    m_color = color;
    update();
}

void zyrColorIndicatorCtrl::DrawColor(QPainter* painter)
{
    if (!painter)
        return;
    const int m = m_margin;
    painter->fillRect(QRect(m, m, width() - 2 * m - 1, height() - 2 * m - 1), QColor::fromRgba(m_color));
}

void zyrColorIndicatorCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    DrawColor(&painter);
}

// ---- the selectable swatch

zyrActiveColorIndicatorCtrl::zyrActiveColorIndicatorCtrl(QWidget* parent, CPaletteCache* cache)
    : zyrColorIndicatorCtrl(parent)
    , m_cache(cache ? cache : new CPaletteCache)
    , m_ownCache(!cache)
{
}

zyrActiveColorIndicatorCtrl::zyrActiveColorIndicatorCtrl(unsigned int color, QWidget* parent, CPaletteCache* cache)
    : zyrColorIndicatorCtrl(color, parent)
    , m_cache(cache ? cache : new CPaletteCache)
    , m_ownCache(!cache)
{
}

zyrActiveColorIndicatorCtrl::~zyrActiveColorIndicatorCtrl()
{
    if (m_ownCache)
        delete m_cache;
}

bool zyrActiveColorIndicatorCtrl::IsValidMargin(const QSize& size, int margin)
{
    return margin >= 0 && size.width() - 2 * margin > GetMinimalIndicatorSize()
        && size.height() - 2 * margin > GetMinimalIndicatorSize();
}

bool zyrActiveColorIndicatorCtrl::IsValidSize() const
{
    return width() - 2 * m_margin > 15 && height() - 2 * m_margin > 15;
}

void zyrActiveColorIndicatorCtrl::setSelected(bool selected)
{
    m_hilite = HiliteNone;
    m_selected = selected;
    update();
}

void zyrActiveColorIndicatorCtrl::setHilited(EHiliteState state)
{
    m_hilite = state;
    update();
}

bool zyrActiveColorIndicatorCtrl::setMargin(int margin)
{
    if (margin != m_margin) {
        zyrColorIndicatorCtrl::setMargin(margin);
        CreateIndicatorPixmap();
    }
    return true;
}

void zyrActiveColorIndicatorCtrl::setGeometryAndMargin(const QRect& rect, int margin)
{
    const bool marginChanged = margin != m_margin;
    m_margin = margin;
    if (rect.size() == size() && marginChanged) {
        CreateIndicatorPixmap();
        update();
    }
    if (rect != geometry())
        setGeometry(rect);
}

void zyrActiveColorIndicatorCtrl::CreateIndicatorPixmap()
{
    const int m = m_margin;
    if (m_indicator.size() != size())
        m_indicator = QPixmap(size());
    m_indicator.fill(QColor(255, 255, 255, 0));
    if (m_indicator.isNull())
        return;
    const QColor colour = QColor::fromRgba(m_color);
    QPainter painter(&m_indicator);
    if (!IsValidSize()) {
        // Too small for shadow and gloss.
        painter.fillRect(rect(), colour);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect face(m, m, width() - 2 * m - 1, height() - 2 * m - 1);
    const double u = face.height() * 0.01;
    const int r = int(u * 15.0);
    painter.drawPixmap(0, 0, m_cache->GetIndicatorShadow(size(), face, 5, r, m));

    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(face, r, r, Qt::AbsoluteSize);

    // The lower half in a slightly darker tone, its upper edge a gentle
    // curve.
    const int s = int(u * -3.0);
    const int t = int(u * 10.0);
    const int a = int(face.width() * 0.01 * 20.0);
    const int o = m + face.height() / 2 - s;
    const int w = face.width();
    QPainterPath shade;
    shade.setFillRule(Qt::WindingFill);
    shade.moveTo(m, o);
    shade.cubicTo(m + w / 2 - a, o - t, m + w / 2 + a, o - t, m + w, o - t);
    shade.moveTo(m, o);
    shade.lineTo(m + w, o - t);
    shade.lineTo(m + w, o + r);
    shade.lineTo(m, o + r);
    shade.lineTo(m, o);
    shade.addRoundedRect(QRectF(m, o, w, face.top() + face.height() - o), r, r, Qt::AbsoluteSize);
    painter.setBrush(colour.lighter(90));
    painter.drawPath(shade);
}

void zyrActiveColorIndicatorCtrl::DrawShadow(QPainter* painter, QRect rect, int offset, int radius)
{
    const int r = radius;
    const QRect s = rect.translated(offset, offset);
    const QPointF c = s.center();
    const QRectF corner(s.right() - 2 * r, s.bottom() - 2 * r, 2 * r, 2 * r);

    QPainterPath bottom;
    bottom.moveTo(c);
    bottom.lineTo(s.left(), s.bottom() - r);
    bottom.arcTo(QRectF(s.left(), s.bottom() - 2 * r, 2 * r, 2 * r), 180, 90);
    bottom.lineTo(s.right() - r, s.bottom());
    bottom.arcTo(corner, 270, 45);
    const QPointF p = bottom.currentPosition();
    bottom.lineTo(c);
    QLinearGradient down(QPointF(c.x(), s.bottom() - offset), QPointF(c.x(), s.bottom()));
    down.setColorAt(0, kShadowNear);
    down.setColorAt(1, kShadowFar);
    painter->fillPath(bottom, down);

    QPainterPath right;
    right.moveTo(c);
    right.lineTo(p);
    right.arcTo(corner, 315, 45);
    right.lineTo(s.right(), s.top() + r);
    right.arcTo(QRectF(s.right() - 2 * r, s.top(), 2 * r, 2 * r), 360, 90);
    right.lineTo(c.x(), s.top());
    right.lineTo(c);
    QLinearGradient across(QPointF(s.right() - offset, c.y()), QPointF(s.right(), c.y()));
    across.setColorAt(0, kShadowNear);
    across.setColorAt(1, kShadowFar);
    painter->fillPath(right, across);
}

QPixmap zyrActiveColorIndicatorCtrl::CreateSelectionPixmap(const QSize& size, bool semiTransparent)
{
    if (size.width() < GetMinimalIndicatorSize() || size.height() < GetMinimalIndicatorSize())
        return QPixmap();
    QPixmap pixmap(size);
    pixmap.fill(QColor(255, 255, 255, 0));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect frame(3, 3, size.width() - 7, size.height() - 7);
    const int r = int(frame.height() * 0.01 * 15.0);
    if (!semiTransparent)
        DrawShadow(&painter, frame, 5, r);
    const int alpha = semiTransparent ? 100 : 255;
    const QColor yellow(255, 255, 0, alpha);
    painter.setPen(Qt::NoPen);
    painter.setBrush(yellow);
    painter.drawRoundedRect(QRectF(3.0, 3.0, frame.width(), frame.height()), r, r, Qt::AbsoluteSize);
    painter.setPen(QPen(yellow.lighter(70), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, r, r, Qt::AbsoluteSize);
    return pixmap;
}

void zyrActiveColorIndicatorCtrl::resizeEvent(QResizeEvent*)
{
    CreateIndicatorPixmap();
    m_selection = m_cache->GetSelectionPixmap(size());
}

void zyrActiveColorIndicatorCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if ((m_selected && m_hilite == HiliteNone) || m_hilite == Hilited)
        painter.drawPixmap(0, 0, m_selection);
    painter.drawPixmap(0, 0, m_indicator);
}

void zyrActiveColorIndicatorCtrl::mousePressEvent(QMouseEvent*)
{
    m_pressed = true;
    update();
    emit sigBeginSelect(this);
}

void zyrActiveColorIndicatorCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = false;
    if (QRect(0, 0, width() - 1, height() - 1).contains(event->pos())) {
        m_selected = true;
        m_hilite = HiliteNone;
        update();
        emit sigEndSelect(this, true);
        emit sigSelected(this);
    } else {
        emit sigEndSelect(this, false);
        update();
    }
}

// ---- the decorated swatch

zyrDecoratedColorIndicator::zyrDecoratedColorIndicator(QWidget* parent)
    : zyrColorIndicatorCtrl(parent)
{
}

void zyrDecoratedColorIndicator::setBkgAlphaImage(const QPixmap& image)
{
    m_bkgAlphaImage = image;
    if (!image.isNull()) {
        setMinimumSize(image.size());
        setMaximumSize(image.size());
    }
}

void zyrDecoratedColorIndicator::setDecorateImage(const QPixmap& image)
{
    m_decorateImage = image;
    update();
}

void zyrDecoratedColorIndicator::setColor(unsigned int color)
{
    m_color = color;
    GenerateImage();
    update();
}

void zyrDecoratedColorIndicator::GenerateImage()
{
    if (m_composed.isNull())
        return;
    m_composed.fill(QColor(0, 0, 0, 0));
    QPainter painter(&m_composed);
    DrawColor(&painter);
    // The colour stays where the alpha image is opaque.
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawPixmap(0, 0, m_bkgAlphaImage);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawPixmap(width() / 2 - m_decorateImage.width() / 2, height() / 2 - m_decorateImage.height() / 2,
        m_decorateImage);
}

void zyrDecoratedColorIndicator::resizeEvent(QResizeEvent*)
{
    if (m_composed.size() != size()) {
        m_composed = QPixmap(size());
        GenerateImage();
        update();
    }
}

void zyrDecoratedColorIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_composed.isNull())
        DrawColor(&painter);
    else
        painter.drawPixmap(0, 0, m_composed);
}

// ---- the palette

zyrColorPaletteCtrl::SPalleteInfo zyrColorPaletteCtrl::GetDefaultPalleteInfo()
{
    return SPalleteInfo { 4, 3, 0, 0, 41,
        { 0xFF0000FF, 0xFF008200, 0xFF00008C, 0xFFFF0000, 0xFFFFFF00, 0xFFFFA600, 0xFF00FFFF, 0xFFF7F3C6, 0xFFC6E3C6,
            0xFF8C0000, 0xFFFF00FF, 0xFFA52021 } };
}

zyrColorPaletteCtrl::zyrColorPaletteCtrl(QWidget* parent, SPalleteInfo* info)
    : QWidget(parent)
    , m_cache(new CPaletteCache)
{
    const SPalleteInfo palette = info ? *info : GetDefaultPalleteInfo();
    m_rows = palette.rows;
    m_columns = palette.columns;
    m_leftMargin = palette.leftMargin;
    m_topMargin = palette.topMargin;
    m_indicatorSize = palette.indicatorSize;
    m_selectionSize = palette.indicatorSize + 20;
    m_colors = palette.colors;
}

zyrColorPaletteCtrl::~zyrColorPaletteCtrl()
{
    // The swatches go first: they draw from the cache.
    qDeleteAll(findChildren<zyrActiveColorIndicatorCtrl*>(QString(), Qt::FindDirectChildrenOnly));
    delete m_cache;
}

uint zyrColorPaletteCtrl::selectedColorIndex() const
{
    return m_selected ? uint(m_selected->userData()) : 0;
}

unsigned int zyrColorPaletteCtrl::selectedColorRGB() const
{
    return m_selected ? m_selected->color() : 0;
}

void zyrColorPaletteCtrl::setSelectedColorIndex(uint index)
{
    if (m_indicators.isEmpty()) {
        m_pendingSelection = index <= uint(INT_MAX) ? int(index) : -1;
        return;
    }
    if (index >= uint(m_indicators.size()))
        return;
    if (m_selected)
        m_selected->setSelected(false);
    m_selected = m_indicators.at(int(index));
    m_selected->setSelected(true);
}

void zyrColorPaletteCtrl::selectNearestColor(unsigned int rgb)
{
    setSelectedColorIndex(uint(GetNearestColorIndex(rgb)));
}

int zyrColorPaletteCtrl::GetNearestColorIndex(unsigned int rgb) const
{
    int best = 765;
    int index = 0;
    for (int i = 0; i < m_colors.size(); ++i) {
        const unsigned int c = m_colors.at(i);
        const int distance = std::abs(qRed(c) - qRed(rgb)) + std::abs(qGreen(c) - qGreen(rgb))
            + std::abs(qBlue(c) - qBlue(rgb));
        if (distance < best) {
            best = distance;
            index = i;
        }
    }
    return index;
}

void zyrColorPaletteCtrl::setColors(const QVector<unsigned int>& colors)
{
    m_colors = colors;
    if (m_created)
        ReCreateControls();
}

void zyrColorPaletteCtrl::setPaletteValues(QStringList values)
{
    if (values.isEmpty())
        return;
    m_colors.clear();
    for (const QString& value : values) {
        bool ok = false;
        int rgb = value.toInt(&ok, 16);
        if (!ok)
            rgb = 0;
        m_colors.append(unsigned(rgb) | 0xFF000000u);
    }
    if (m_created)
        ReCreateControls();
}

QStringList zyrColorPaletteCtrl::paletteValues() const
{
    QStringList values;
    for (unsigned int c : m_colors)
        values.append(QStringLiteral("%1").arg(c & 0xFFFFFFu, 6, 16, QLatin1Char('0')));
    return values;
}

void zyrColorPaletteCtrl::setDimensions(const QSize& columnsByRows)
{
    if (columnsByRows.width() <= 0 || columnsByRows.height() <= 0)
        return;
    const bool sameCount = columnsByRows.width() * columnsByRows.height() == m_columns * m_rows;
    m_columns = columnsByRows.width();
    m_rows = columnsByRows.height();
    if (sameCount)
        UpdateControlsPosition();
    else if (m_created)
        ReCreateControls();
}

void zyrColorPaletteCtrl::setIndicatorSize(int size)
{
    if (size <= 0)
        return;
    m_indicatorSize = size;
    if (m_selectionSize < size)
        m_selectionSize = size;
    UpdateControlsPosition();
}

void zyrColorPaletteCtrl::setSelectionSize(int size)
{
    if (size < 0)
        return;
    m_selectionSize = size;
    if (m_indicatorSize > size)
        m_indicatorSize = size;
    if (m_created)
        UpdateControlsPosition();
}

void zyrColorPaletteCtrl::setLeftMargin(uint margin)
{
    m_leftMargin = int(margin);
    UpdateControlsPosition();
}

void zyrColorPaletteCtrl::setTopMargin(uint margin)
{
    m_topMargin = int(margin);
    UpdateControlsPosition();
}

QRect zyrColorPaletteCtrl::GetControlGeometry(int row, int column, int size) const
{
    return QRect(m_leftMargin + column * (size + kSpacing), m_topMargin + row * (size + kSpacing), size, size);
}

void zyrColorPaletteCtrl::SetupControlSizes(zyrActiveColorIndicatorCtrl* indicator, int row, int column)
{
    const int s = std::max(m_indicatorSize, m_selectionSize);
    indicator->setGeometryAndMargin(
        GetControlGeometry(row, column, s), (s - std::min(m_indicatorSize, m_selectionSize)) / 2);
}

void zyrColorPaletteCtrl::UpdateControlsPosition()
{
    if (!m_created || m_indicators.isEmpty() || m_columns <= 0)
        return;
    for (int j = 0; j < m_indicators.size() && j / m_columns < m_rows; ++j)
        SetupControlSizes(m_indicators.at(j), j / m_columns, j % m_columns);
}

void zyrColorPaletteCtrl::ReCreateControls()
{
    if (m_colors.isEmpty())
        return;
    DestroyControls();
    const int cells = m_rows * m_columns;
    for (int j = 0; j < cells && j < m_colors.size(); ++j) {
        auto* indicator = new zyrActiveColorIndicatorCtrl(m_colors.at(j), this, m_cache);
        indicator->setUserData(j);
        SetupControlSizes(indicator, j / m_columns, j % m_columns);
        connect(indicator, SIGNAL(sigBeginSelect(zyrActiveColorIndicatorCtrl*)), this,
            SLOT(OnBeginSelection(zyrActiveColorIndicatorCtrl*)));
        connect(indicator, SIGNAL(sigEndSelect(zyrActiveColorIndicatorCtrl*, bool)), this,
            SLOT(OnFinishSelection(zyrActiveColorIndicatorCtrl*, bool)));
        indicator->show();
        m_indicators.append(indicator);
    }
    if (!m_indicators.isEmpty()) {
        m_selected = m_indicators.first();
        m_selected->setSelected(true);
    }
}

void zyrColorPaletteCtrl::DestroyControls()
{
    // Deferred: the swatch being released may be what asked for the new
    // palette (from a slot of sigSelected), and it is still on the stack.
    for (zyrActiveColorIndicatorCtrl* indicator : m_indicators) {
        disconnect(indicator, nullptr, this, nullptr);
        indicator->hide();
        indicator->deleteLater();
    }
    m_indicators.clear();
    m_selected = nullptr;
}

void zyrColorPaletteCtrl::showEvent(QShowEvent* event)
{
    if (!m_created) {
        m_createTimer = startTimer(0);
        m_created = true;
    }
    QWidget::showEvent(event);
}

void zyrColorPaletteCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_createTimer) {
        QWidget::timerEvent(event);
        return;
    }
    killTimer(m_createTimer);
    m_createTimer = 0;
    ReCreateControls();
    if (m_pendingSelection != -1 && m_pendingSelection < m_colors.size())
        setSelectedColorIndex(uint(m_pendingSelection));
    update();
}

void zyrColorPaletteCtrl::OnBeginSelection(zyrActiveColorIndicatorCtrl* indicator)
{
    if (m_selected)
        m_selected->setHilited(zyrActiveColorIndicatorCtrl::HiliteSuppressed);
    indicator->setHilited(zyrActiveColorIndicatorCtrl::Hilited);
}

void zyrColorPaletteCtrl::OnFinishSelection(zyrActiveColorIndicatorCtrl* indicator, bool ok)
{
    if (!ok) {
        if (m_selected)
            m_selected->setHilited(zyrActiveColorIndicatorCtrl::HiliteNone);
        indicator->setHilited(zyrActiveColorIndicatorCtrl::HiliteNone);
        return;
    }
    // Tapping the selected swatch again keeps it selected.
    if (m_selected && m_selected != indicator)
        m_selected->setSelected(false);
    m_selected = indicator;
    indicator->setHilited(zyrActiveColorIndicatorCtrl::HiliteNone);
    emit sigSelected(indicator->userData());
}
