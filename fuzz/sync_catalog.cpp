// The track catalogs RCF.txt and TCF.txt as the look-ups read them back.
// First byte odd: the rest is a value that a catalog is written with, which
// must read back unchanged; even: the rest is a catalog file, which is
// either read whole or refused with a reason, the entries left untouched.
// fuzz-links: kivo_wifi_sync

#include "wifi/sync/catalogreader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const char* begin = reinterpret_cast<const char*>(data) + 1;
    const char* end = reinterpret_cast<const char*>(data) + size;
    using kivo::sync::CatalogEntry;

    if (data[0] & 1) {
        const QString value = QString::fromUtf8(begin, int(end - begin));
        QString text = "[{";
        kivo::sync::appendJsonPair(text, "o_hash", value);
        text += ",";
        kivo::sync::appendJsonPair(text, "o_file_location", value);
        text += "}]";
        const QByteArray bytes = text.toUtf8();
        QVector<CatalogEntry> entries;
        QString error;
        if (!kivo::sync::parseCatalog(bytes.constData(), bytes.constData() + bytes.size(), entries, error))
            std::abort();
        if (entries.size() != 1 || entries[0].hash != value || entries[0].fileLocation != value
            || !entries[0].file.isEmpty())
            std::abort();
        return 0;
    }

    CatalogEntry keep;
    keep.file = "keep";
    QVector<CatalogEntry> entries { keep };
    QString error;
    if (kivo::sync::parseCatalog(begin, end, entries, error)) {
        if (!error.isEmpty())
            std::abort();
        kivo::sync::CatalogIndex index;
        (void)index.find(entries.isEmpty() ? QString() : entries.last().hash);
    } else if (entries.size() != 1 || entries[0].file != "keep" || error.isEmpty()) {
        std::abort();
    }
    return 0;
}
