// The engine's private state and timer. Not part of the library's interface:
// the library's sources, its tests and its benchmarks include it.
#pragma once

#include "controls/core/Kinetic.h"
#include "controls/core/zyrcontrols_global.h"

#include <QBasicTimer>
#include <QObject>
#include <QPoint>

// Ticks the engine every 20 ms during a fling or an automatic scroll.
class KineticTimer : public QObject {
    Q_OBJECT
public:
    explicit KineticTimer(Kinetic* engine);
    // Does nothing when the timer already runs.
    void start(int intervalMs);
    void stop();
    bool isActive() const { return m_timer.isActive(); }

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    QBasicTimer m_timer;
    Kinetic* m_engine;
};

class KineticPrivate {
public:
    explicit KineticPrivate(Kinetic* engine);

    bool enabled = false;
    QPoint position;
    QPoint lastOffset;
    QPoint speed;
    QPoint pressPoint;
    int state = 0;
    qint64 sampleTime = 0; // on the library's clock
    KineticTimer timer;
    int threshold = 20;
    int steps = 0;
};

// What tests and benchmarks reach inside an engine: the state, and the
// timer's ticks stepped by hand instead of waited for.
struct ZYRCONTROLS_EXPORT KineticTestAccess {
    enum State { Idle = 0, Pressed = 1, Dragging = 2, Flinging = 3, StoppedByPress = 4 };
    static int state(const Kinetic& k) { return k.d->state; }
    static QPoint speed(const Kinetic& k) { return k.d->speed; }
    static bool timerActive(const Kinetic& k) { return k.d->timer.isActive(); }
    // One timer tick, as the 20 ms timer would deliver it.
    static void tick(Kinetic& k) { k.OnTimer(); }
};
