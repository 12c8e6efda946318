// SHA-512 of a byte string, and its text form as 128 lower-case hex digits.
// Holds nothing between calls: every hash starts afresh.
#pragma once

#include <QObject>

class Sha2 : public QObject {
    Q_OBJECT
public:
    explicit Sha2(QObject* parent = nullptr);

    static constexpr int kDigestBytes = 64;
    // hashToHex writes this many digits and a terminating NUL.
    static constexpr int kHexBufferSize = 2 * kDigestBytes + 1;

    // digest receives kDigestBytes bytes.
    void digest(const unsigned char* bytes, unsigned long long length, unsigned char* digest) const;

    // Hashes the bytes before the first NUL of text and writes the digest's
    // hex digits and a NUL into out, which must hold kHexBufferSize
    // characters. Always 1.
    int hashToHex(const char* text, char* out) const;
};
