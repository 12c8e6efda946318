// A GPX file as the sync reads it for the track hash and for an upload:
// the hash must be what a UTF-8 text stream over the file gives, and the
// upload pieces, unescaped and joined, must be the file's whole text, each
// at most 2048 characters and none ending inside a surrogate pair.
// fuzz-links: kivo_wifi_sync

#include "wifi/sync/devicefile.h"
#include "wifi/sync/sha2.h"
#include "wifi/sync/wifisync.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTextStream>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

const char kPath[] = "/DataDrive/Falmo/Tracks/fuzz.gpx";

void ensureRoot()
{
    if (const char* root = std::getenv("KIVO_DEVICE_ROOT"); root && *root)
        return;
    char pattern[] = "/tmp/kivo-fuzz-root-XXXXXX";
    if (!::mkdtemp(pattern))
        std::abort();
    ::setenv("KIVO_DEVICE_ROOT", pattern, 1);
}

QString referenceText(const QString& local, int maxChars)
{
    QFile file(local);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    QTextStream in(&file);
    in.setCodec("UTF-8");
    return maxChars < 0 ? in.readAll() : in.read(maxChars);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ensureRoot();
    static int argc = 1;
    static char name[] = "fuzz_gpx_content";
    static char* argv[] = { name, nullptr };
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
    static WiFiSync* sync = new WiFiSync();

    kivo::sync::makeDevicePath("/DataDrive/Falmo/Tracks");
    const QString local = kivo::sync::localPath(kPath);
    {
        QFile file(local);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    QString hash;
    if (!sync->generateHash512(kPath, hash))
        std::abort();
    QByteArray bytes = referenceText(local, 1499).toUtf8().left(1499);
    char hex[Sha2::kHexBufferSize];
    Sha2().hashToHex(bytes.constData(), hex);
    if (hash != QLatin1String(hex))
        std::abort();

    QStringList pieces;
    if (!sync->getGpxContent(kPath, pieces))
        std::abort();
    QString joined;
    for (int i = 0; i < pieces.size(); ++i) {
        QString piece = pieces[i];
        piece.replace("&quot;", "\"").replace("&gt;", ">").replace("&lt;", "<").replace("&amp;", "&");
        if (piece.size() > 2048)
            std::abort();
        if (i + 1 < pieces.size() && piece.at(piece.size() - 1).isHighSurrogate())
            std::abort();
        joined += piece;
    }
    if (joined != referenceText(local, -1))
        std::abort();
    return 0;
}
