// What the compass widgets read of the navigation program: the angles of the
// heading, the target, the sun and the moon, and a way to be told of changes.
// The widgets call it by position in its table of virtual operations, so the
// operations keep this order.
#pragma once

#include "controls/core/zyrcontrols_global.h"

class QObject;

// The sun's and the moon's position, handed on to the provider unread.
struct zyrSunMoonAzEl_t {
    double sunAzimuth = 0;
    double sunElevation = 0;
    double moonAzimuth = 0;
    double moonElevation = 0;
};

class ZYRCONTROLS_EXPORT ICompassDataProvider {
public:
    virtual ~ICompassDataProvider() = default;
    virtual void setSunMoonPosition(zyrSunMoonAzEl_t position) = 0;
    virtual double sunAzimuth() = 0;
    virtual double moonAzimuth() = 0;
    virtual double heading() = 0;
    virtual double bearing() = 0;
    virtual double overlayHeading() = 0;
    virtual bool hasTarget() = 0;
    virtual int overlayBearingMode() = 0;
    // From then on the provider invokes member ("1OnUpdate()") of receiver
    // whenever its data change.
    virtual void subscribe(QObject* receiver, const char* member) = 0;
};
