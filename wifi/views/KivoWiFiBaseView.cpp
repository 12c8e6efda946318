#include "wifi/views/KivoWiFiBaseView.h"

#include "controls/core/phxIcon.h"
#include "controls/core/phxTextEdit.h"
#include "controls/core/phxVirtualList.h"
#include "wifi/views/view_timing.h"

#include <QEasingCurve>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QSequentialAnimationGroup>
#include <QTimerEvent>

#include <algorithm>

namespace {

// Lists and texts taller than this step by their height less it.
constexpr int kStepMargin = 60;
constexpr int kDurationExtra = 330;

} // namespace

KivoWiFiBaseView::KivoWiFiBaseView(QWidget* parent)
    : QWidget(parent)
    , m_pressAnimation(new QPropertyAnimation())
    , m_releaseAnimation(new QPropertyAnimation())
    , m_holdChain(new QSequentialAnimationGroup())
{
    connect(m_pressAnimation, SIGNAL(finished()), this, SLOT(animationFinished()));
    connect(m_releaseAnimation, SIGNAL(finished()), this, SLOT(animationFinished()));
    connect(m_holdChain, SIGNAL(finished()), this, SLOT(animationFinished()));
}

KivoWiFiBaseView::~KivoWiFiBaseView()
{
    // The animations have no parent: they go with the view.
    m_holdTimer.stop();
    delete m_holdChain;
    delete m_releaseAnimation;
    delete m_pressAnimation;
}

void KivoWiFiBaseView::setupScrollButtons()
{
    m_upBtn = findChild<QPushButton*>(QStringLiteral("UpBtn"));
    m_downBtn = findChild<QPushButton*>(QStringLiteral("DownBtn"));
    m_list = findChild<phxVirtualList*>(QStringLiteral("virtuallist"));
    m_text = findChild<phxTextEdit*>(QStringLiteral("phxTextEdit"));
    if (phxIcon* shade = findChild<phxIcon*>(QStringLiteral("Shade")))
        shade->setAttribute(Qt::WA_TransparentForMouseEvents);

    if (m_list) {
        if (m_list->height() > kStepMargin) {
            m_pressStep = m_list->height() - kStepMargin;
            m_pressDuration = m_list->height() + kDurationExtra;
        }
        m_list->setCustomScrollBar(true);
    } else if (m_text) {
        if (m_text->height() > kStepMargin) {
            m_pressStep = m_text->height() - kStepMargin;
            m_pressDuration = m_text->height() + kDurationExtra;
        }
        m_text->setCustomScrollBar(true);
    }

    if (m_upBtn) {
        connect(m_upBtn, SIGNAL(pressed()), this, SLOT(AppUpPressed()));
        connect(m_upBtn, SIGNAL(released()), this, SLOT(AppUpReleased()));
    }
    if (m_downBtn) {
        connect(m_downBtn, SIGNAL(pressed()), this, SLOT(AppDownPressed()));
        connect(m_downBtn, SIGNAL(released()), this, SLOT(AppDownReleased()));
    }
}

QScrollBar* KivoWiFiBaseView::scrollBar(bool showBar)
{
    if (m_list) {
        if (showBar) {
            m_list->autoScrollBarHide(true);
            m_list->clearFocus();
        }
        return m_list->verticalScrollBar();
    }
    if (m_text) {
        if (showBar)
            m_text->autoScrollBarHide(true);
        return m_text->verticalScrollBar();
    }
    return nullptr;
}

void KivoWiFiBaseView::shake(int direction)
{
    if (m_list)
        direction ? m_list->downShakeAnimation() : m_list->upShakeAnimation();
    else if (m_text)
        direction ? m_text->downShakeAnimation() : m_text->upShakeAnimation();
}

QPropertyAnimation* KivoWiFiBaseView::valueAnimation(QScrollBar* bar, int from, int to, int ms, int curve)
{
    QPropertyAnimation* a = new QPropertyAnimation(bar, "value");
    a->setStartValue(from);
    a->setEndValue(to);
    a->setDuration(ms);
    a->setEasingCurve(QEasingCurve::Type(curve));
    return a;
}

void KivoWiFiBaseView::AppUpPressed()
{
    press(0);
}

void KivoWiFiBaseView::AppDownPressed()
{
    press(1);
}

void KivoWiFiBaseView::press(int direction)
{
    m_direction = (unsigned char)direction;
    if (m_pressAnimation->state() == QAbstractAnimation::Running)
        m_pressAnimation->stop();
    if (m_holdChain->state() == QAbstractAnimation::Running)
        m_holdChain->stop();
    if (m_releaseAnimation->state() == QAbstractAnimation::Running)
        m_releaseAnimation->stop();
    m_holdChain->clear();

    QScrollBar* bar = scrollBar(true);
    if (!bar)
        return;
    const int value = bar->value();
    const int min = bar->minimum();
    const int max = bar->maximum();
    if (min == max || value == (direction ? max : min)) {
        // At the end: a bounce, and nothing else.
        shake(direction);
        return;
    }

    int target = direction ? value + m_pressStep : value - m_pressStep;
    int duration = m_pressDuration;
    if (direction ? target > max : target < min) {
        target = direction ? max : min;
        // Milliseconds per pixel of a whole step, for the pixels left.
        duration = (m_pressDuration / m_pressStep) * std::abs(target - value);
    }
    m_pressAnimation->setTargetObject(bar);
    m_pressAnimation->setPropertyName("value");
    m_pressAnimation->setStartValue(value);
    m_pressAnimation->setEndValue(target);
    m_pressAnimation->setDuration(duration);
    m_pressAnimation->setEasingCurve(QEasingCurve::OutSine);
    m_pressAnimation->start();

    m_holdTimer.start(kivowifi::screenInterval(m_holdDelay), this);
    emit sigListScrollBegin();
}

void KivoWiFiBaseView::timerEvent(QTimerEvent*)
{
    m_holdTimer.stop();
    if (m_pressAnimation->state() == QAbstractAnimation::Running)
        m_pressAnimation->stop();
    QScrollBar* bar = scrollBar(false);
    if (!bar)
        return;
    int value = bar->value();
    const int min = bar->minimum();
    const int max = bar->maximum();
    int s = m_holdStep;
    float f = m_holdTimeFactor;
    if (m_holdChain->state() == QAbstractAnimation::Running)
        m_holdChain->stop();
    m_holdChain->clear();
    if (m_direction == 1) {
        while (value + s < max) {
            m_holdChain->addAnimation(valueAnimation(bar, value, value + s, int(s * f), QEasingCurve::Linear));
            value += s;
            s = int(s * m_stepMultiplier);
            f = f / m_factorDivisor;
        }
        m_holdChain->addAnimation(valueAnimation(bar, value, max, int((max - value) * f), QEasingCurve::Linear));
    } else {
        while (value - s > min) {
            m_holdChain->addAnimation(valueAnimation(bar, value, value - s, int(s * f), QEasingCurve::Linear));
            value -= s;
            s = int(s * m_stepMultiplier);
            f = f / m_factorDivisor;
        }
        m_holdChain->addAnimation(valueAnimation(bar, value, min, int((value - min) * f), QEasingCurve::Linear));
    }
    m_holdChain->start();
}

void KivoWiFiBaseView::AppUpReleased()
{
    release();
}

void KivoWiFiBaseView::AppDownReleased()
{
    release();
}

void KivoWiFiBaseView::release()
{
    m_holdTimer.stop();
    if (m_holdChain->state() != QAbstractAnimation::Running)
        return; // a short press: the step finishes by itself
    m_holdChain->stop();
    m_holdChain->clear();
    QScrollBar* bar = scrollBar(true);
    if (!bar)
        return;
    const int value = bar->value();
    const int target = m_direction == 1 ? std::min(value + m_releaseStep, bar->maximum())
                                        : std::max(value - m_releaseStep, bar->minimum());
    m_releaseAnimation->setTargetObject(bar);
    m_releaseAnimation->setPropertyName("value");
    m_releaseAnimation->setStartValue(value);
    m_releaseAnimation->setEndValue(target);
    m_releaseAnimation->setDuration(m_releaseDuration);
    m_releaseAnimation->setEasingCurve(QEasingCurve::OutCubic);
    m_releaseAnimation->start();
}

void KivoWiFiBaseView::animationFinished()
{
    if (m_list)
        m_list->autoScrollBarHide(false);
    else if (m_text)
        m_text->autoScrollBarHide(false);
    emit sigListScrollEnd();
}

void KivoWiFiBaseView::scrollStateChanged(QAbstractAnimation::State newState, QAbstractAnimation::State oldState)
{
    if (oldState == QAbstractAnimation::Stopped && newState == QAbstractAnimation::Running)
        emit sigListScrollBegin();
    else if (oldState == QAbstractAnimation::Running && newState == QAbstractAnimation::Stopped)
        emit sigListScrollEnd();
}
