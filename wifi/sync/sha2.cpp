#include "wifi/sync/sha2.h"

#include <QCryptographicHash>

#include <cstring>
#include <limits>

Sha2::Sha2(QObject* parent)
    : QObject(parent)
{
}

void Sha2::digest(const unsigned char* bytes, unsigned long long length, unsigned char* digest) const
{
    QCryptographicHash hash(QCryptographicHash::Sha512);
    // addData takes an int length; longer inputs go in parts.
    constexpr unsigned long long kPart = std::numeric_limits<int>::max();
    const char* at = reinterpret_cast<const char*>(bytes);
    while (length > 0) {
        const unsigned long long part = length < kPart ? length : kPart;
        hash.addData(at, int(part));
        at += part;
        length -= part;
    }
    const QByteArray result = hash.result();
    std::memcpy(digest, result.constData(), kDigestBytes);
}

int Sha2::hashToHex(const char* text, char* out) const
{
    static const char kDigits[] = "0123456789abcdef";
    unsigned char bytes[kDigestBytes];
    digest(reinterpret_cast<const unsigned char*>(text), std::strlen(text), bytes);
    for (int i = 0; i < kDigestBytes; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0f];
    }
    out[2 * kDigestBytes] = '\0';
    return 1;
}
