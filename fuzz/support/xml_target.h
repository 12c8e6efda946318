// One document through one of the sync engine's XML readers, twice: as the
// program reads it (parseFile on a file of the device root) and fed to expat
// in chunks of random length through the same handler callbacks. expat hands
// text over in pieces wherever a chunk ends, so the two readings agree only
// when the handler joins the pieces: a document read without error gives the
// same records both ways, and one with an error fails both ways.
//
// Input: 4 bytes of split seed, 1 byte of largest chunk, then the document.
#pragma once

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"

#include <expat.h>

#include <QStringList>

#include <fstream>
#include <vector>

namespace kivo::fuzz {

// Handler: an XmlSaxParser subclass whose finishParse is reachable (for the
// readers that make their record at the end); Records(handler) gives what
// it read as a list of strings.
template <typename Handler> struct ChunkedReading {
    static void XMLCALL onStart(void* u, const XML_Char* name, const XML_Char** attributes)
    {
        static_cast<Handler*>(u)->startElement(u, name, attributes);
    }
    static void XMLCALL onEnd(void* u, const XML_Char* name) { static_cast<Handler*>(u)->endElement(u, name); }
    static void XMLCALL onText(void* u, const XML_Char* text, int length)
    {
        static_cast<Handler*>(u)->characters(u, text, length);
    }

    // False when expat reported an error.
    static bool read(Handler& handler, const std::vector<uint8_t>& doc, ChunkSplitter& split)
    {
        XML_Parser parser = XML_ParserCreate(nullptr);
        if (!parser)
            std::abort();
        XML_SetUserData(parser, &handler);
        XML_SetElementHandler(parser, &onStart, &onEnd);
        XML_SetCharacterDataHandler(parser, &onText);
        handler.startDocument();
        bool ok = true;
        size_t at = 0;
        do {
            const size_t chunk = std::min(split.next(), doc.size() - at);
            const bool final = at + chunk == doc.size();
            const char* bytes = doc.empty() ? "" : reinterpret_cast<const char*>(doc.data() + at);
            if (XML_Parse(parser, bytes, int(chunk), final ? 1 : 0) == XML_STATUS_ERROR) {
                ok = false;
                break;
            }
            at += chunk;
        } while (at < doc.size());
        handler.endDocument();
        XML_ParserFree(parser);
        handler.finish();
        return ok;
    }
};

template <typename Handler, typename Records>
int runXmlTarget(const uint8_t* data, size_t size, const char* devicePath, Records records)
{
    ensureDeviceRoot();
    FuzzInput in(data, size);
    const uint32_t seed = in.u32();
    ChunkSplitter split(seed, 1 + in.byte() % 128);
    const std::vector<uint8_t> doc = in.rest();

    const std::string local = ce::resolvePath(devicePath, true);
    {
        std::ofstream file(local, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(doc.data()), std::streamsize(doc.size()));
        FUZZ_CHECK(file.good());
    }
    Handler whole;
    FUZZ_CHECK(whole.parseFile(QString::fromUtf8(devicePath)));
    if (whole.hasError())
        FUZZ_CHECK(!whole.errorString().isEmpty());

    Handler chunked;
    const bool ok = ChunkedReading<Handler>::read(chunked, doc, split);
    FUZZ_CHECK(ok == !whole.hasError());
    if (ok)
        FUZZ_CHECK(records(whole) == records(chunked));
    return 0;
}

} // namespace kivo::fuzz
