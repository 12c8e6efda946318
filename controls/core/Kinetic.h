// Kinetic: the flick-scrolling engine that the library's scrolling widgets
// mix in beside their Qt base class.
//
// The widget feeds its mouse events to OnMousePressed, OnMouseMoved and
// OnMouseReleased; the engine turns a press, a drag beyond the threshold and
// a release into a click, a manual scroll or a decelerating fling, and drives
// the widget only through the five virtual operations below. Positions are
// points in the widget's own scroll coordinates.
#pragma once

#include "controls/core/zyrcontrols_global.h"

#include <QPoint>

class QMouseEvent;
class KineticPrivate;
class KineticTimer;
struct KineticTestAccess;

class ZYRCONTROLS_EXPORT Kinetic {
public:
    Kinetic();
    virtual ~Kinetic();

    Kinetic(const Kinetic&) = delete;
    Kinetic& operator=(const Kinetic&) = delete;

    // Each first ignores the event and accepts it only when the engine acts
    // on it. Only the left button counts.
    void OnMousePressed(QMouseEvent* event);
    void OnMouseMoved(QMouseEvent* event);
    void OnMouseReleased(QMouseEvent* event);

    // Plays a drag from `from` to `to` without a finger, in ten timer ticks.
    void AutoScroll(const QPoint& from, const QPoint& to);
    // Whether a release may start a fling (off at construction).
    void EnableKinetic(bool enable);
    int GetThreshold() const;
    // Drag distance per axis that a press must exceed to become a drag;
    // negative values are ignored.
    void SetThreshold(int threshold);
    // Back to idle and nothing else: a running timer is not stopped.
    void ResetState();

protected:
    bool IsAutoscrolling() const;
    void setAutoscrollPix(int step, int limit);

    virtual QPoint KineticCurrentPosition() = 0;
    virtual void KineticClick(const QPoint& p) = 0;
    virtual void KineticStart(const QPoint& p) = 0;
    // Moves the content so that the position becomes p; false when it
    // cannot go further (a fling then stops).
    virtual bool KineticScroll(const QPoint& p) = 0;
    virtual void KineticStop(const QPoint& p) = 0;

private:
    friend class KineticTimer;
    friend struct KineticTestAccess;
    void OnTimer();

    KineticPrivate* d;
    int m_autoscrollStep = 1;
    int m_autoscrollLimit = 64;
};
