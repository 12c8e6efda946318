#include "sim/instruments/compass_provider.h"

namespace kivo::sim {

CompassProvider::CompassProvider(QObject* parent)
    : QObject(parent)
{
}

double CompassProvider::count(const char* operation, double value)
{
    ++m_calls[QLatin1String(operation)];
    return value;
}

void CompassProvider::setSunMoonPosition(zyrSunMoonAzEl_t position)
{
    ++m_calls[QStringLiteral("setSunMoonPosition")];
    m_sunMoon = position;
}

double CompassProvider::sunAzimuth() { return count("sunAzimuth", m_sun); }
double CompassProvider::moonAzimuth() { return count("moonAzimuth", m_moon); }
double CompassProvider::heading() { return count("heading", m_heading); }
double CompassProvider::bearing() { return count("bearing", m_bearing); }
double CompassProvider::overlayHeading() { return count("overlayHeading", m_overlayHeading); }

bool CompassProvider::hasTarget()
{
    ++m_calls[QStringLiteral("hasTarget")];
    return m_hasTarget;
}

int CompassProvider::overlayBearingMode()
{
    ++m_calls[QStringLiteral("overlayBearingMode")];
    return m_overlayBearingMode;
}

void CompassProvider::subscribe(QObject* receiver, const char* member)
{
    ++m_calls[QStringLiteral("subscribe")];
    connect(this, SIGNAL(changed()), receiver, member);
}

void CompassProvider::setSunAzimuth(double d) { m_sun = d; emit changed(); }
void CompassProvider::setMoonAzimuth(double d) { m_moon = d; emit changed(); }
void CompassProvider::setHeading(double d) { m_heading = d; emit changed(); }
void CompassProvider::setBearing(double d) { m_bearing = d; emit changed(); }
void CompassProvider::setOverlayHeading(double d) { m_overlayHeading = d; emit changed(); }
void CompassProvider::setHasTarget(bool t) { m_hasTarget = t; emit changed(); }
void CompassProvider::setOverlayBearingMode(int m) { m_overlayBearingMode = m; emit changed(); }

} // namespace kivo::sim
