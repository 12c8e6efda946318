#include "controls/core/ZyrAnimationCtrl.h"

#include "controls/core/LibraryInternal.h"

#include <QPainter>
#include <QTimerEvent>

ZyrAnimationCtrl::ZyrAnimationCtrl(QWidget* parent)
    : QWidget(parent)
{
    ResetData();
}

ZyrAnimationCtrl::~ZyrAnimationCtrl()
{
    Stop();
}

void ZyrAnimationCtrl::setImageList(const QStringList& paths)
{
    m_imageList = paths;
    if (!m_postponed)
        LoadImagesFromList();
}

void ZyrAnimationCtrl::setPostponedImageLoading()
{
    m_postponed = true;
}

int ZyrAnimationCtrl::framesNum() const
{
    return m_postponed ? m_imageList.size() : m_frames.size();
}

void ZyrAnimationCtrl::setInterval(const int& milliseconds)
{
    if (milliseconds == m_interval || milliseconds == 0)
        return;
    m_interval = milliseconds;
    if (m_state == Running)
        MyStartTimer(m_interval);
}

void ZyrAnimationCtrl::Start()
{
    if (m_state == Running || m_frames.size() < 2)
        return;
    m_state = Running;
    m_index = 0;
    m_current = m_frames.at(0);
    update();
    MyStartTimer(m_interval);
}

void ZyrAnimationCtrl::Stop()
{
    if (m_state == Stopped)
        return;
    MyKillTimer();
    m_state = Stopped;
    m_index = 0;
    m_current = m_frames.value(0);
}

void ZyrAnimationCtrl::Pause()
{
    if (m_state != Running)
        return;
    m_state = Paused;
    MyKillTimer();
}

void ZyrAnimationCtrl::Resume()
{
    if (m_state != Paused)
        return;
    m_state = Running;
    MyStartTimer(m_interval);
}

void ZyrAnimationCtrl::LoadImagesFromList()
{
    Stop();
    m_frames.clear();
    for (const QString& path : qAsConst(m_imageList)) {
        QPixmap frame;
        if (frame.load(path))
            m_frames.append(frame);
    }
    ResetData();
    if (!m_current.isNull())
        setFixedSize(m_current.size());
}

void ZyrAnimationCtrl::ResetData()
{
    m_state = Stopped;
    if (m_frames.isEmpty()) {
        m_index = -1;
        m_current = QPixmap();
    } else {
        m_index = 0;
        m_current = m_frames.at(0);
    }
    m_timerId = 0;
}

void ZyrAnimationCtrl::NextFrame()
{
    if (m_frames.isEmpty())
        return;
    ++m_index;
    if (m_index >= m_frames.size()) {
        if (m_looped) {
            m_index = 0;
        } else {
            MyKillTimer();
            m_state = Stopped;
            m_index = m_frames.size() - 1;
        }
    }
    m_current = m_frames.at(m_index);
}

void ZyrAnimationCtrl::MyStartTimer(int milliseconds)
{
    MyKillTimer();
    m_timerId = startTimer(ZyrelleControls::Internal::ScaledDuration(milliseconds));
}

void ZyrAnimationCtrl::MyKillTimer()
{
    if (m_timerId != 0) {
        killTimer(m_timerId);
        m_timerId = 0;
    }
}

void ZyrAnimationCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId) {
        QWidget::timerEvent(event);
        return;
    }
    NextFrame();
    update();
}

void ZyrAnimationCtrl::paintEvent(QPaintEvent*)
{
    if (m_index == -1)
        return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_current);
}

void ZyrAnimationCtrl::showEvent(QShowEvent* event)
{
    if (m_postponed) {
        LoadImagesFromList();
        m_postponed = false;
    }
    QWidget::showEvent(event);
}
