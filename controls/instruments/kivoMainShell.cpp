#include "controls/instruments/kivoMainShell.h"

#include "controls/core/LibraryInternal.h"

#include <QEasingCurve>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QResizeEvent>

namespace {

const int kPressHighlightMs = 200;
const int kFlipMs = 300;
const QColor kDim(0, 0, 0, 120);
const QColor kMissingIcon(125, 125, 125, 255);
const QColor kMissingNextIcon(254, 0, 0, 255);
const char* const kDisappearingPage = "_disappearPage_";
const char* const kShowingPage = "_showedPage_";

// The icon of a cell: loaded from its file or filled with `fallback`, and
// stretched to the cell.
QPixmap cellIcon(const QString& file, const QColor& fallback, int width, int height)
{
    QPixmap icon(file);
    if (icon.isNull()) {
        icon = QPixmap(width, height);
        icon.fill(fallback);
    }
    if (icon.size() != QSize(width, height))
        icon = icon.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return icon;
}

} // namespace

kivoMainShell::kivoMainShell(QWidget* parent)
    : QWidget(parent)
    , m_flipGroup(new QParallelAnimationGroup)
{
    connect(m_flipGroup, SIGNAL(finished()), this, SLOT(pageAnimationEnded()));
}

kivoMainShell::~kivoMainShell()
{
    m_pressTimer.stop();
    m_flipGroup->stop();
    m_flipGroup->clear();
    delete m_flipGroup;
    delete m_nextLabel;
}

void kivoMainShell::initMainShellItems(QList<LightMainShell_Item>& items, int columns, int rows)
{
    m_items = items;
    m_columns = columns;
    m_rows = rows;
    m_lastCell = columns * rows - 1;
    m_pageStart = 0;
    if (hasGrid())
        mainshellscreenshot(m_page, m_pageStart);
}

void kivoMainShell::setNextItem(LightMainShell_Item& item)
{
    m_nextItem = item;
}

void kivoMainShell::setCurFont(QFont font)
{
    m_font = font;
    m_dirty = true;
    update();
}

void kivoMainShell::setCurFtColor(QColor color)
{
    m_fontColor = color;
    m_dirty = true;
    update();
}

void kivoMainShell::setFontFamily(QString& family)
{
    m_font.setFamily(family);
    m_dirty = true;
    update();
}

void kivoMainShell::setPixelSize(int pixelSize)
{
    m_font.setPixelSize(pixelSize);
    m_dirty = true;
    update();
}

void kivoMainShell::setOffset(int horizontal, int vertical)
{
    m_horizontalGap = horizontal;
    m_verticalGap = vertical;
    m_dirty = true;
    m_relayout = true;
    update();
}

void kivoMainShell::SetFirstPage()
{
    if (m_pageStart == 0 || isFlipping())
        return;
    m_pageStart = 0;
    m_dirty = true;
    update();
}

bool kivoMainShell::isFlipping() const
{
    return m_flipping || m_flipGroup->state() == QAbstractAnimation::Running;
}

// ---- rendering

void kivoMainShell::mainshellscreenshot(QPixmap& image, int start)
{
    m_cells.clear();
    if (m_relayout || image.isNull()) {
        image = QPixmap(size());
        m_relayout = false;
    }
    image.fill(m_background);

    const int c = (width() - m_horizontalGap * (m_columns + 1)) / m_columns;
    const int f = (height() - m_verticalGap * (m_rows + 1)) / m_rows;
    const bool more = hasMore();
    if (c <= 0 || f <= 0) {
        // Too small for its grid: nothing to show or hit.
        if (m_nextLabel)
            m_nextLabel->hide();
        return;
    }
    const int cells = more ? m_lastCell : m_columns * m_rows;
    const int lineHeight = QFontMetrics(m_font).height();

    QPainter page(&image);
    int x = m_horizontalGap;
    int y = m_verticalGap;
    for (int i = 0; i < cells; ++i) {
        const int a = start + i;
        if (a >= m_items.size()) {
            m_cells.append(QRect(0, 0, 0, 0));
            continue;
        }
        const LightMainShell_Item& item = m_items.at(a);
        QPixmap icon = cellIcon(item.strIcon, kMissingIcon, c, f);
        QString label = item.strLabel;
        const QStringList lines = calculateString(label, c);
        {
            QPainter p(&icon);
            p.setPen(m_fontColor);
            p.setFont(m_font);
            QRect line(0, f - 2 * lineHeight - m_lineSpacing - 2, c, lineHeight);
            for (const QString& text : lines) {
                p.drawText(line, Qt::AlignCenter, text);
                line.translate(0, lineHeight + m_lineSpacing);
            }
        }
        page.drawPixmap(x, y, icon);
        m_cells.append(QRect(x - m_horizontalGap, y - m_verticalGap, c + 2 * m_horizontalGap, f + 2 * m_verticalGap));
        x += m_horizontalGap + c;
        if (i % m_columns == m_columns - 1) {
            x = m_horizontalGap;
            y += m_verticalGap + f;
        }
    }

    if (!more) {
        // A page without more has no next button, even after a longer list.
        if (m_nextLabel)
            m_nextLabel->hide();
        return;
    }
    if (!m_nextLabel)
        m_nextLabel = new QLabel(this);
    m_nextLabel->setPixmap(cellIcon(m_nextItem.strIcon, kMissingNextIcon, c, f));
    m_nextLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    const int nx = c * (m_columns - 1) + m_columns * m_horizontalGap;
    const int ny = f * (m_rows - 1) + m_rows * m_verticalGap;
    m_cells.append(QRect(nx - m_horizontalGap, ny - m_verticalGap, c + 2 * m_horizontalGap, f + 2 * m_verticalGap));
    m_nextLabel->setGeometry(nx, ny, c, f);
    m_nextLabel->raise();
    m_nextLabel->show();
}

QStringList kivoMainShell::calculateString(QString& text, int width)
{
    const QFontMetrics metrics = fontMetrics();
    if (metrics.horizontalAdvance(text) <= width)
        return QStringList { text };
    QStringList lines;
    QString current = text;
    QString rest = text;
    do {
        const QString line = findFitStr(current, width, rest);
        current = rest;
        if (line.isNull())
            break;
        lines.append(line);
    } while (metrics.horizontalAdvance(rest) > width);
    lines.append(rest);
    return lines;
}

QString kivoMainShell::findFitStr(QString text, int width, QString& rest)
{
    const QFontMetrics metrics = fontMetrics();
    QString s = text;
    int k = s.lastIndexOf(QLatin1Char(' '));
    while (k != -1) {
        if (k == 0) {
            rest = text.mid(1);
            return QStringLiteral(" ");
        }
        const QString head = s.left(k);
        if (metrics.horizontalAdvance(head) <= width) {
            rest = text.mid(k + 1);
            return head;
        }
        s = head;
        k = s.lastIndexOf(QLatin1Char(' '));
    }
    // No blank gives a line that fits: cut the word at the last character
    // that fits.
    for (int length = s.length(); length >= 1; --length) {
        const QString head = s.left(length);
        if (metrics.horizontalAdvance(head) <= width) {
            rest = text.mid(length);
            return head;
        }
    }
    return QString();
}

// ---- painting and input

void kivoMainShell::paintEvent(QPaintEvent*)
{
    if (!hasGrid() || isFlipping())
        return;
    if (m_page.isNull() || m_dirty) {
        mainshellscreenshot(m_page, m_pageStart);
        m_dirty = false;
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_page);
    if (!m_pressed)
        return;
    const bool more = hasMore();
    if (more
        && ((m_hoverIndex == m_lastCell && m_pressIndex != m_lastCell)
            || (m_pressIndex == m_lastCell && m_hoverIndex != m_lastCell)))
        return;
    for (int i = 0; i < m_cells.size(); ++i) {
        if (i == m_hoverIndex || (more && i == m_lastCell))
            continue;
        painter.fillRect(m_cells.at(i), kDim);
    }
}

int kivoMainShell::getItemIndex(QPoint& point)
{
    for (int i = 0; i < m_cells.size(); ++i) {
        if (m_cells.at(i).contains(point))
            return i;
    }
    return -1;
}

void kivoMainShell::mousePressEvent(QMouseEvent* event)
{
    m_pressTimer.stop();
    if (!hasGrid() || isFlipping())
        return;
    QPoint at = event->pos();
    m_hoverIndex = m_pressIndex = getItemIndex(at);
    m_pressed = true;
    if (hasMore() && m_pressIndex != m_lastCell)
        repaint();
    else
        m_pressTimer.start(ZyrelleControls::Internal::ScaledDuration(kPressHighlightMs), this);
}

void kivoMainShell::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_pressTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_pressTimer.stop();
    if (!isFlipping())
        repaint();
}

void kivoMainShell::mouseMoveEvent(QMouseEvent* event)
{
    if (!hasGrid() || isFlipping())
        return;
    QPoint at = event->pos();
    const int index = getItemIndex(at);
    if (index != m_hoverIndex) {
        m_hoverIndex = index;
        repaint();
    }
}

void kivoMainShell::mouseReleaseEvent(QMouseEvent* event)
{
    if (!hasGrid() || isFlipping())
        return;
    QPoint at = event->pos();
    const int r = getItemIndex(at);
    const bool more = hasMore();
    QString clicked;
    bool flipped = false;
    if (more && r == m_lastCell && m_pressIndex == m_lastCell) {
        clickNextBtn();
        flipped = true;
        clicked = m_nextItem.strName;
    } else if (r != -1 && (!more || (r != m_lastCell && m_pressIndex != m_lastCell))
        && m_pageStart + r < m_items.size()) {
        clicked = m_items.at(m_pageStart + r).strName;
    }
    m_pressed = false;
    m_hoverIndex = m_pressIndex = -1;
    if (!flipped)
        update();
    if (flipped || !clicked.isNull())
        emit itemClicked(clicked);
}

void kivoMainShell::resizeEvent(QResizeEvent* event)
{
    m_dirty = true;
    m_relayout = true;
    update();
    QWidget::resizeEvent(event);
}

// ---- the page flip

void kivoMainShell::clickNextBtn()
{
    if (m_flipGroup->state() == QAbstractAnimation::Running)
        return;
    m_pressTimer.stop();
    m_flipping = true;

    const QPixmap oldPage = m_page.copy();
    m_pageStart += m_lastCell;
    if (m_pageStart >= m_items.size())
        m_pageStart = 0;
    mainshellscreenshot(m_page, m_pageStart);

    QLabel* leaving = findChild<QLabel*>(QLatin1String(kDisappearingPage));
    if (!leaving) {
        leaving = new QLabel(this);
        leaving->setObjectName(QLatin1String(kDisappearingPage));
    }
    leaving->setGeometry(rect());
    leaving->setPixmap(oldPage);
    leaving->raise();
    leaving->show();

    QLabel* coming = findChild<QLabel*>(QLatin1String(kShowingPage));
    if (!coming) {
        coming = new QLabel(this);
        coming->setObjectName(QLatin1String(kShowingPage));
    }
    coming->setGeometry(rect().x(), height(), width(), height());
    coming->setPixmap(m_page);
    coming->raise();
    coming->show();

    const int duration = ZyrelleControls::Internal::ScaledDuration(kFlipMs);
    QPropertyAnimation* out = new QPropertyAnimation(leaving, "pos");
    out->setDuration(duration);
    out->setStartValue(leaving->pos());
    out->setEndValue(QPoint(0, -height()));
    out->setEasingCurve(QEasingCurve::OutCurve);
    QPropertyAnimation* in = new QPropertyAnimation(coming, "pos");
    in->setDuration(duration);
    in->setStartValue(coming->pos());
    in->setEndValue(QPoint(0, 0));
    in->setEasingCurve(QEasingCurve::OutCurve);
    m_flipGroup->addAnimation(out);
    m_flipGroup->addAnimation(in);
    m_flipGroup->start();
    if (m_nextLabel)
        m_nextLabel->raise();
}

void kivoMainShell::pageAnimationEnded()
{
    for (const char* name : { kDisappearingPage, kShowingPage }) {
        if (QLabel* label = findChild<QLabel*>(QLatin1String(name))) {
            label->hide();
            delete label;
        }
    }
    m_flipGroup->clear();
    m_flipping = false;
    update();
}
