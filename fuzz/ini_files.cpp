// KivoWiFi's ini files, damaged any way: the saved networks
// (WiFiSettings.ini), the probe's verdict (CheckBrowserStatus.ini) and the
// log switch (DebugSetting.ini; betaserver.ini counts by its presence only).
// The first byte picks the file, the rest is its content and a script.
//
// Checked: reading any content ends; a verdict read is trimmed and one line;
// after any damage the program's own writes read back whole (saved networks
// of any text, every verdict value).
// fuzz-links: kivo_wifi_probe kivo_wifi_sync

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"
#include "wifi/core/probe_files.h"
#include "wifi/core/saved_networks.h"
#include "wifi/sync/wifisynclogfile.h"

#include <QFile>
#include <QSettings>

#include <fstream>

using kivo::fuzz::FuzzInput;

namespace {

const char kProgramDirectory[] = "\\SystemDrive\\Falmo\\program\\wifi";

void writeFile(const std::string& devicePath, const std::vector<uint8_t>& content)
{
    std::ofstream f(ce::resolvePath(devicePath, true), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
    FUZZ_CHECK(f.good());
}

QString text(FuzzInput& in)
{
    const std::vector<uint8_t> b = in.bytes(in.byte() % 40);
    return QString::fromUtf8(reinterpret_cast<const char*>(b.data()), int(b.size()));
}

void savedNetworks(FuzzInput& in)
{
    const std::string path = std::string(kProgramDirectory) + "\\WiFiSettings.ini";
    writeFile(path, in.bytes(in.u16()));
    const QString local = QString::fromStdString(ce::resolvePath(path));
    {
        QSettings damaged(local, QSettings::IniFormat);
        for (int slot = 0; slot < kivowifi::SAVED_NETWORK_COUNT; ++slot)
            (void)kivowifi::readSlot(damaged, slot);
    }
    kivowifi::SavedNetworks records = kivowifi::placeholderSlots();
    for (auto& r : records) {
        if (in.empty())
            break;
        r = WiFiSettings { text(in), text(in), text(in), text(in), text(in), text(in) };
    }
    {
        QSettings file(local, QSettings::IniFormat);
        // The status may still tell of a damaged file read before; the
        // records must reach the file all the same.
        kivowifi::writeSlots(file, records);
    }
    QSettings again(local, QSettings::IniFormat);
    for (int slot = 0; slot < kivowifi::SAVED_NETWORK_COUNT; ++slot)
        FUZZ_CHECK(kivowifi::readSlot(again, slot) == records[size_t(slot)]);
}

void browserStatus(FuzzInput& in)
{
    const std::vector<uint8_t> content = in.bytes(in.u16());
    const QString value = kivowifi::launchBrowserFromText(
        QByteArray(reinterpret_cast<const char*>(content.data()), int(content.size())));
    FUZZ_CHECK(value == value.trimmed());
    FUZZ_CHECK(!value.contains(QLatin1Char('\n')));

    writeFile(kivowifi::BROWSER_STATUS_PATH, content);
    const std::optional<QString> read = kivowifi::readLaunchBrowser();
    FUZZ_CHECK(read && *read == value);

    const int values[] = { kivowifi::LAUNCH_BROWSER_PORTAL, kivowifi::LAUNCH_BROWSER_INTERNET,
        kivowifi::LAUNCH_BROWSER_NO_INTERNET, kivowifi::LAUNCH_BROWSER_NO_RESULT };
    const int v = values[in.byte() % 4];
    FUZZ_CHECK(kivowifi::writeLaunchBrowser(v));
    FUZZ_CHECK(kivowifi::readLaunchBrowser() == QString::number(v));
}

void debugSetting(FuzzInput& in)
{
    WiFiSyncLogFile log(QStringLiteral("/SystemDrive"));
    const std::string beta = ce::resolvePath(log.logFolder().toStdString() + "/betaserver.ini", true);
    const bool betaPresent = in.flag();
    if (betaPresent)
        std::ofstream(beta) << "x";
    else
        std::remove(beta.c_str());
    const std::vector<uint8_t> content = in.bytes(in.u16());
    writeFile(std::string(kProgramDirectory) + "\\DebugSetting.ini", content);
    const bool on = log.readLogSetting();
    if (betaPresent)
        FUZZ_CHECK(on);
    // The switch is read off a line that names it, so text without one
    // leaves logging off.
    const QByteArray bytes(reinterpret_cast<const char*>(content.data()), int(content.size()));
    if (!betaPresent && !bytes.toLower().contains("enablelog"))
        FUZZ_CHECK(!on);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    ce::setProgramDirectory(kProgramDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    switch (in.byte() % 3) {
    case 0:
        savedNetworks(in);
        break;
    case 1:
        browserStatus(in);
        break;
    default:
        debugSetting(in);
        break;
    }
    return 0;
}
