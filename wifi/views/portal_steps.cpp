#include "wifi/views/portal_steps.h"

#include "platform/paths.h"
#include "platform/process.h"
#include "wifi/core/WiFiChechZk.h"

#include <QSaveFile>

namespace kivowifi {

namespace {

int g_liveProbes = 0;

} // namespace

void startPortalProbe()
{
    auto* probe = new WiFiChechZk;
    ++g_liveProbes;
    // A stopped or finished probe is not needed any more; the GUI thread
    // deletes it once its thread has ended.
    QObject::connect(probe, &QThread::finished, probe, &QObject::deleteLater);
    QObject::connect(probe, &QObject::destroyed, [] { --g_liveProbes; });
    probe->start(QThread::InheritPriority);
}

int livePortalProbes()
{
    return g_liveProbes;
}

bool launchPortalBrowser()
{
    return ce::launchProcess(PORTAL_BROWSER_PATH);
}

bool writeAutoSync(bool on)
{
    std::string path = ce::resolvePath("AutoSync.ini");
    if (path.empty())
        return false;
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(on ? "WifiSyncOnOff=1" : "WifiSyncOnOff=0");
    return file.commit();
}

QString shortNetworkName(const QString& name)
{
    return name.size() > 15 ? name.left(12) + QStringLiteral("...") : name;
}

} // namespace kivowifi
