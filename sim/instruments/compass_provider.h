// Stands in for the navigation program behind the compass widgets: angles,
// target and overlay mode set by a test or a demo, a change signal that
// reaches every subscribed widget, and a count of calls per operation.
#pragma once

#include "controls/instruments/ICompassDataProvider.h"

#include <QMap>
#include <QObject>
#include <QString>

namespace kivo::sim {

class CompassProvider : public QObject, public ICompassDataProvider {
    Q_OBJECT
public:
    explicit CompassProvider(QObject* parent = nullptr);

    void setSunMoonPosition(zyrSunMoonAzEl_t position) override;
    double sunAzimuth() override;
    double moonAzimuth() override;
    double heading() override;
    double bearing() override;
    double overlayHeading() override;
    bool hasTarget() override;
    int overlayBearingMode() override;
    void subscribe(QObject* receiver, const char* member) override;

    // Setters change the value and emit changed().
    void setSunAzimuth(double degrees);
    void setMoonAzimuth(double degrees);
    void setHeading(double degrees);
    void setBearing(double degrees);
    void setOverlayHeading(double degrees);
    void setHasTarget(bool target);
    void setOverlayBearingMode(int mode);

    // How often each operation of the interface was called, by its name.
    int calls(const QString& operation) const { return m_calls.value(operation); }
    void resetCalls() { m_calls.clear(); }
    zyrSunMoonAzEl_t lastSunMoonPosition() const { return m_sunMoon; }

signals:
    void changed();

private:
    double count(const char* operation, double value);

    QMap<QString, int> m_calls;
    zyrSunMoonAzEl_t m_sunMoon;
    double m_sun = 0, m_moon = 0, m_heading = 0, m_bearing = 0, m_overlayHeading = 0;
    bool m_hasTarget = false;
    int m_overlayBearingMode = 0;
};

} // namespace kivo::sim
