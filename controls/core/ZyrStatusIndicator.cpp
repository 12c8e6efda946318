#include "controls/core/ZyrStatusIndicator.h"

#include <QDebug>
#include <QPainter>

ZyrStatusIndicator::ZyrStatusIndicator(QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

ZyrStatusIndicator::~ZyrStatusIndicator() = default;

void ZyrStatusIndicator::setImages(const QStringList& paths)
{
    m_paths = paths;
    loadImages();
}

void ZyrStatusIndicator::loadImages()
{
    // The images of an earlier list would otherwise stay in front of the new
    // ones, and status 1 would keep showing the old first image.
    m_loaded.clear();
    for (const QString& path : qAsConst(m_paths)) {
        QPixmap image;
        if (image.load(path))
            m_loaded.append(image);
        else
            qDebug().noquote() << QStringLiteral("Cannot load image for ZyrStatusIndicator: ") + path;
    }
    m_maxStatus = m_loaded.size();
}

void ZyrStatusIndicator::setStatus(int nStatus)
{
    if (nStatus < 1)
        nStatus = 1;
    if (nStatus > m_maxStatus)
        nStatus = m_maxStatus;
    m_status = nStatus;
    update();
}

bool ZyrStatusIndicator::autoChangeStatus(bool up)
{
    int next = m_status;
    if (up && m_status < m_maxStatus)
        ++next;
    else if (!up && m_status > 1)
        --next;
    if (next == m_status)
        return false;
    m_status = next;
    update();
    return true;
}

QPixmap ZyrStatusIndicator::getImage() const
{
    if (m_status >= 1 && m_status <= m_loaded.size())
        return m_loaded.at(m_status - 1);
    return QPixmap();
}

QSize ZyrStatusIndicator::sizeHint() const
{
    return m_loaded.isEmpty() ? QSize(20, 20) : m_loaded.first().size();
}

void ZyrStatusIndicator::showEvent(QShowEvent* event)
{
    if (m_loaded.isEmpty() && !m_paths.isEmpty())
        loadImages();
    QWidget::showEvent(event);
}

void ZyrStatusIndicator::paintEvent(QPaintEvent*)
{
    if (m_status < 1 || m_status > m_loaded.size())
        return;
    const QPixmap& image = m_loaded.at(m_status - 1);
    QPainter painter(this);
    painter.drawPixmap(width() / 2 - image.width() / 2, height() / 2 - image.height() / 2, image);
}
