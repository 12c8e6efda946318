// DebugSetting.ini as the sync engine reads it: its "enablelog" line, which
// switches the log on, and its "productionurl" and "betaurl" lines, which
// choose the service URL. The first byte says whether betaserver.ini lies in
// the Log folder (the beta server is then used); the rest is the file.
//
// Checked: the URL chosen is never empty; it is the built-in one of the
// server in use, or a trimmed value of one line of the file, holding no line
// break and no '='.
// fuzz-links: kivo_wifi_sync

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"
#include "wifi/sync/connecttoserver.h"
#include "wifi/sync/wifisynclogfile.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

const char kProgramDir[] = "/SystemDrive/Falmo/Program/WiFi";
const std::string kLogDir = std::string(kProgramDir) + "/Log";

void writeDeviceFile(const std::string& devicePath, const char* data, size_t size)
{
    std::ofstream(ce::resolvePath(devicePath, true), std::ios::binary | std::ios::trunc)
        .write(data, std::streamsize(size));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    ce::setProgramDirectory(kProgramDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool beta = data[0] & 1;
    const std::string beta_ini = kLogDir + "/betaserver.ini";
    if (beta)
        writeDeviceFile(beta_ini, "", 0);
    else
        std::remove(ce::resolvePath(beta_ini).c_str());
    writeDeviceFile(std::string(kProgramDir) + "/DebugSetting.ini", reinterpret_cast<const char*>(data) + 1, size - 1);

    WiFiSyncLogFile log("/SystemDrive");
    const bool logging = log.readLogSetting();
    FUZZ_CHECK(!beta || logging);

    {
        ConnectToServer client("/SystemDrive");
        const QString url = client.url();
        FUZZ_CHECK(!url.isEmpty());
        if (url != ConnectToServer::productionUrl() && url != ConnectToServer::sandboxUrl()) {
            FUZZ_CHECK(url == url.trimmed());
            FUZZ_CHECK(!url.contains('\n') && !url.contains('='));
        }
    }
    // The log the client wrote to is not carried into the next input.
    std::remove(ce::resolvePath(log.logFilePath().toStdString()).c_str());
    return 0;
}
