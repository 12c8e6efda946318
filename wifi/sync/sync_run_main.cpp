// sync_run: one whole sync through the sync engine, driven the way the sync
// screen drives it: an engine checks the server and obtains a session, a
// fresh engine runs the sync with it. Prints every signal and what changed
// in the Tracks folder. Exit code 0 after a successful run.
//
// For tests that kill a run while it copies a download into Tracks:
// KIVO_SYNC_TEST_CROSS_DEVICE=1 makes the copy's link step fail as it does
// across file systems, KIVO_SYNC_TEST_STOP_IN_COPY=1 stops the process
// (SIGSTOP) once the copy across file systems has written its first block.
#include "wifi/sync/devicefile.h"
#include "wifi/sync/testfaults.h"
#include "wifi/sync/wifisync.h"

#include "platform/paths.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const char kTracks[] = "/DataDrive/Falmo/Tracks";

QSet<QString> trackFiles()
{
    QSet<QString> files;
    const QString root = kivo::sync::localPath(kTracks);
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next().mid(root.size() + 1));
    return files;
}

bool testSwitch(const char* name)
{
    const char* value = std::getenv(name);
    return value && std::strcmp(value, "1") == 0;
}

void stopOnce()
{
    static bool stopped = false;
    if (!stopped) {
        stopped = true;
        std::raise(SIGSTOP);
    }
}

void print(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The engine runs in KivoWiFi, whose folder holds DebugSetting.ini.
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
    kivo::sync::CopyFaults faults;
    if (testSwitch("KIVO_SYNC_TEST_CROSS_DEVICE"))
        faults.linkErrno = EXDEV;
    if (testSwitch("KIVO_SYNC_TEST_STOP_IN_COPY"))
        faults.afterBlock = stopOnce;
    kivo::sync::setCopyFaultsForTesting(faults);
    const QSet<QString> before = trackFiles();

    QString session;
    QString status;
    {
        auto check = std::make_unique<WiFiSync>();
        status = check->checkServerStatus(session);
    }
    print("server check: " + status);
    if (status != "S000000")
        return 1;

    int result = -1;
    auto sync = std::make_unique<WiFiSync>();
    QObject::connect(sync.get(), &WiFiSync::wifiSyncFinishSignal, [](int up, int down, int current, int total, QString) {
        print(QString("progress: %1 of %2 (to upload %3, to download %4)").arg(current).arg(total).arg(up).arg(down));
    });
    QObject::connect(sync.get(), &WiFiSync::wifiSyncStatusSignal, [&](int n, QString detail, QString error) {
        result = n;
        print(QString("status %1: detail \"%2\" error \"%3\"").arg(n).arg(detail, error));
    });
    QObject::connect(sync.get(), &WiFiSync::wifiSyncErrorSignal, [](QString error) {
        print(QString("transfer failed: error \"%1\"").arg(error));
    });
    QObject::connect(sync.get(), &WiFiSync::wifiSyncAllGpxSyncFinishedSignal, [](int up, int down, QString date) {
        print(QString("sync finished at %1: %2 uploaded, %3 downloaded").arg(date).arg(up).arg(down));
    });
    sync->WiFiSyncInit(session);
    sync.reset();

    const QSet<QString> after = trackFiles();
    QStringList added;
    for (const QString& f : after)
        if (!before.contains(f))
            added << f;
    QStringList removed;
    for (const QString& f : before)
        if (!after.contains(f))
            removed << f;
    added.sort();
    removed.sort();
    for (const QString& f : added)
        print("new in Tracks: " + f);
    for (const QString& f : removed)
        print("gone from Tracks: " + f);
    return result == 0 ? 0 : 1;
}
