// device.xml, the device's identity for the sync service (see
// support/xml_target.h for what is checked).
// fuzz-links: kivo_wifi_sync

#include "fuzz/support/xml_target.h"
#include "wifi/sync/devicexmlhandler.h"

namespace {

struct Handler : DeviceXmlHandler {
    void finish() { }
};

QStringList records(const Handler& h)
{
    QStringList out;
    for (const DeviceInfoRecord& r : h.records())
        out << r.kernelVersion << r.bootloaderVersion << r.displayName << r.hardwareId << r.skuId;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return kivo::fuzz::runXmlTarget<Handler>(data, size, "/SystemDrive/device.xml", records);
}
