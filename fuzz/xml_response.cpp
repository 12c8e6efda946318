// A saved SOAP answer of the sync service, response.xml (see
// support/xml_target.h for what is checked).
// fuzz-links: kivo_wifi_sync

#include "fuzz/support/xml_target.h"
#include "wifi/sync/responsexmlhandler.h"

namespace {

struct Handler : ResponseXmlHandler {
    void finish() { }
};

QStringList records(const Handler& h)
{
    const ServerResponseRecord& r = h.response();
    FUZZ_CHECK(h.records().isEmpty());
    return { r.sessionIdText, r.trackListText, r.uploadTrackText, r.uploadActionText };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return kivo::fuzz::runXmlTarget<Handler>(data, size, "/SystemDrive/Falmo/program/wifi/response.xml", records);
}
