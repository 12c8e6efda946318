// The summary a recording carries in its GPX track (see
// support/xml_target.h for what is checked).
// fuzz-links: kivo_wifi_sync

#include "fuzz/support/xml_target.h"
#include "wifi/sync/gpxxmlhandler.h"

namespace {

struct Handler : GpxXmlHandler {
    void finish() { finishParse(); }
};

QStringList records(const Handler& h)
{
    QStringList out;
    const QList<TrackSummaryRecord> list = h.records();
    FUZZ_CHECK(list.size() == 1);
    for (int i = 0; i < TrackSummaryRecord::kFieldCount; ++i)
        out << list[0].field(i);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return kivo::fuzz::runXmlTarget<Handler>(data, size, "/DataDrive/Falmo/Tracks/track.gpx", records);
}
