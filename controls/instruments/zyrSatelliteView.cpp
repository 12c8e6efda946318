#include "controls/instruments/zyrSatelliteView.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

const double kDegToRad = 0.017453292519943295;

} // namespace

zyrSatelliteView::zyrSatelliteView(QWidget* parent)
    : QWidget(parent)
    , m_clrCircle(0, 0, 0)
    , m_clrStrongSignal(0, 255, 0)
    , m_clrMedSignal(255, 255, 0)
    , m_clrWeakSignal(255, 0, 0)
    , m_clrNoSignal(255, 255, 255)
    , m_clrCenterGradient(0, 0, 96)
    , m_clrEdgeGradient(0, 0, 255)
    , m_clrBackground(200, 200, 255)
    , m_numberFont(font())
    , m_letterFont(font())
{
    std::memset(&m_data, 0, sizeof m_data);
    m_letterFont.setBold(true);
}

void zyrSatelliteView::setData(const zyrSatellites* data)
{
    if (!data)
        return;
    m_dirty = true;
    m_data.header = data->header;
    m_data.count = data->count;
    std::memcpy(m_data.reserved, data->reserved, sizeof m_data.reserved);
    std::memcpy(m_data.slotFlags, data->slotFlags, sizeof m_data.slotFlags);
    const int count = std::min<int>(data->count, zyrMaxSatellites);
    for (int i = 0; i < count; ++i) {
        m_data.details[i].number = data->details[i].number;
        m_data.details[i].azimuth = data->details[i].azimuth;
        m_data.details[i].elevation = data->details[i].elevation;
        m_data.details[i].snr = data->details[i].snr;
        m_data.details[i].used = data->details[i].used;
    }
    repaint();
}

// ---- classes of signal

const QColor& zyrSatelliteView::getSignalColor(const zyrSatelliteDetails& sat) const
{
    if (!sat.used)
        return m_clrNoSignal;
    if (sat.snr < 20)
        return m_clrWeakSignal;
    if (sat.snr < 35)
        return m_clrMedSignal;
    return m_clrStrongSignal;
}

const QPixmap& zyrSatelliteView::getSatPixmap(const zyrSatelliteDetails& sat) const
{
    const bool sbas = isSBAS(sat);
    if (!sat.used)
        return sbas ? m_pxSBASNoSat : m_pxNoSat;
    if (sat.snr < 20)
        return sbas ? m_pxSBASWeakSat : m_pxWeakSat;
    if (sat.snr < 35)
        return sbas ? m_pxSBASMedSat : m_pxMedSat;
    return sbas ? m_pxSBASStrongSat : m_pxStrongSat;
}

bool zyrSatelliteView::isSBAS(const zyrSatelliteDetails& sat)
{
    static const int kSbas[] = { 33, 35, 37, 39, 42, 44, 47, 48, 50, 51 };
    return std::find(std::begin(kSbas), std::end(kSbas), sat.number) != std::end(kSbas);
}

QString zyrSatelliteView::getSatNumber(const zyrSatelliteDetails& sat)
{
    return QStringLiteral("%1").arg(sat.number, 2, 10, QLatin1Char('0'));
}

QPoint zyrSatelliteView::getSatPosition(const zyrSatelliteDetails& sat) const
{
    const int radius = m_circleRect.width() / 2;
    const double r = radius * std::cos(sat.elevation * kDegToRad);
    const double a = sat.azimuth * kDegToRad;
    const int x = m_circleRect.left() + radius + int(std::trunc(r * std::sin(a)));
    const int y = m_circleRect.top() + radius - int(std::trunc(r * std::cos(a)));
    return QPoint(x, y);
}

// ---- geometry

void zyrSatelliteView::SetFitedFont(QFont& font, const QString& text, QRect rect, float factor)
{
    // A font sized in pixels stays as its owner set it.
    if (m_numberFont.pointSize() == -1)
        return;
    const int direction = QFontMetrics(font).horizontalAdvance(text) > rect.width() ? -1 : 1;
    QFont work(font);
    int size = work.pointSize();
    int next = size + direction;
    while (next > 1) {
        work.setPointSize(next);
        const int w = int(float(QFontMetrics(work).horizontalAdvance(text)) * factor);
        if ((direction == -1 && w > rect.width()) || (direction == 1 && w <= rect.width())) {
            size = next;
            next += direction;
            continue;
        }
        work.setPointSize(size);
        break;
    }
    font = work;
}

void zyrSatelliteView::resizeEvent(QResizeEvent* event)
{
    m_dirty = true;
    const int w = width();
    const int h = height();
    m_render = QPixmap(w, h);

    m_skyRect = QRect(0, 0, w, int(h * 0.75));
    if (m_skyRect.height() < m_skyRect.width()) {
        const int side = m_skyRect.height();
        m_skyRect = QRect((w - side) / 2, 0, side, side);
    } else {
        m_skyRect.setHeight(m_skyRect.width());
    }
    const int g = int(m_skyRect.width() * 0.07);
    m_circleRect = m_skyRect.adjusted(g, g, -g, -g);

    const int r = int(h * 0.25 - 1.0);
    m_barArea = QRect(0, h - 1 - r, w - 1, r);
    m_barRect = QRect(m_barArea.topLeft(), QSize(m_barArea.width() / zyrMaxSatellites, m_barArea.height()));
    m_numberRect = m_barRect;

    SetFitedFont(m_numberFont, QStringLiteral("00"), m_barRect, 1.3f);

    m_letterBox = int(g * 1.25);
    const int j = m_letterBox;
    SetFitedFont(m_letterFont, QStringLiteral("W"), QRect(0, 0, j, j), 1.15f);
    const int fh = QFontMetrics(m_letterFont).height();
    const int o = g - j / 2;
    const QPoint c = m_skyRect.center();
    m_letterW = QRect(m_skyRect.left() + o, c.y() - fh / 2, j, fh);
    m_letterN = QRect(c.x() - j / 2, m_skyRect.top() + o, j, fh);
    m_letterE = QRect(m_skyRect.right() - o - j, c.y() - fh / 2, j, fh);
    m_letterS = QRect(c.x() - j / 2, m_skyRect.bottom() - fh - o, j, fh);

    QWidget::resizeEvent(event);
}

// ---- rendering

void zyrSatelliteView::paintEvent(QPaintEvent*)
{
    if (m_render.isNull())
        return;
    if (m_dirty)
        draw();
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_render);
}

void zyrSatelliteView::draw()
{
    m_dirty = false;
    QPainter p(&m_render);
    p.setRenderHint(QPainter::Antialiasing);

    const QPoint wc = rect().center();
    QLinearGradient background(QPointF(wc.x(), wc.y() - 0.25 * height()), QPointF(wc.x(), rect().top()));
    background.setColorAt(0, QColor(0, 0, 16));
    background.setColorAt(1, QColor(0, 0, 255));
    p.fillRect(rect(), background);

    const QPoint cc = m_circleRect.center();
    QLinearGradient sky(cc, QPointF(cc.x(), m_circleRect.top()));
    sky.setColorAt(0, m_clrCenterGradient);
    sky.setColorAt(1, m_clrEdgeGradient);
    p.setBrush(sky);
    p.setPen(QPen(Qt::white, 3));
    const int radius = m_circleRect.width() / 2;
    p.drawEllipse(cc, radius, radius);

    p.setPen(QPen(Qt::white, 1));
    const int disc = 2 * m_letterBox / 3;
    const struct {
        const QRect& box;
        QString letter;
        bool north;
    } letters[] = {
        { m_letterW, QStringLiteral("W"), false },
        { m_letterE, QStringLiteral("E"), false },
        { m_letterS, QStringLiteral("S"), false },
        { m_letterN, QStringLiteral("N"), true },
    };
    for (const auto& l : letters) {
        p.setBrush(l.north ? Qt::white : Qt::black);
        p.drawEllipse(l.box.center(), disc, disc);
    }
    p.setFont(m_letterFont);
    for (const auto& l : letters) {
        p.setPen(l.north ? Qt::black : Qt::white);
        p.drawText(l.box, Qt::AlignCenter, l.letter);
    }

    drawSatellites(&p);
    drawSignalBar(&p);
}

void zyrSatelliteView::drawSatellites(QPainter* painter)
{
    QFont label = font();
    label.setBold(true);
    painter->setFont(label);
    painter->setPen(Qt::white);
    const QFontMetrics metrics(label);
    for (int i = 0; i < zyrMaxSatellites; ++i) {
        if (!m_data.slotFlags[i])
            continue;
        const zyrSatelliteDetails& sat = m_data.details[i];
        const QPoint at = getSatPosition(sat);
        const QPixmap& icon = getSatPixmap(sat);
        painter->drawPixmap(at.x() - icon.width() / 2, at.y() - icon.height() / 2, icon);
        const QString number = getSatNumber(sat);
        const int tw = metrics.horizontalAdvance(number);
        const int th = metrics.height();
        const QRect box(at.x() + tw / 2 + 1, at.y() - th / 2, tw, th);
        painter->drawText(box, Qt::AlignCenter, isSBAS(sat) ? QStringLiteral("W") : number);
    }
}

void zyrSatelliteView::drawSignalBar(QPainter* painter)
{
    painter->setBrush(Qt::black);
    painter->drawRect(m_barArea);

    const int band = int(m_barArea.height() * 0.33 + 1.0);
    painter->setPen(QColor(0, 0, 96));
    int top = m_barArea.top();
    const QColor bandColours[] = { QColor(0, 0, 128), QColor(0, 0, 96), QColor(0, 0, 128) };
    for (const QColor& colour : bandColours) {
        const QRect r(m_barArea.left(), top, m_barArea.width(), band);
        painter->setBrush(colour);
        painter->drawRect(r);
        top = r.bottom();
    }

    QRect bar = m_barRect;
    QRect number = m_numberRect;
    painter->setFont(m_numberFont);
    for (int i = 0; i < zyrMaxSatellites; ++i) {
        if (!m_data.slotFlags[i])
            continue;
        const zyrSatelliteDetails& sat = m_data.details[i];
        const int full = bar.height();
        if (sat.snr <= 15)
            bar.setTop(bar.bottom() - full * 15 / 100);
        else
            bar.setTop(bar.bottom() - std::min(full, full * sat.snr / 50));
        painter->setBrush(getSignalColor(sat));
        painter->drawRect(bar);
        painter->setPen(Qt::black);
        painter->drawText(number, Qt::AlignHCenter | Qt::AlignBottom, getSatNumber(sat));
        bar.setTop(m_barRect.top());
        bar.translate(bar.width(), 0);
        number.translate(number.width(), 0);
    }
}
