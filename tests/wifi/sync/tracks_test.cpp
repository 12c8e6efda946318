#include "wifi/sync/sha2.h"

#include "tests/wifi/sync/wifisync_test_support.h"

#include <QByteArray>
#include <QFile>
#include <QTextStream>

#include <unistd.h>

#include <string>
#include <vector>

namespace {

using kivo::test::kTracks;
using kivo::test::SyncFixture;
using kivo::test::TestSync;

std::string hexOf(const std::string& bytes)
{
    std::vector<char> text(bytes.begin(), bytes.end());
    text.push_back('\0');
    char hex[Sha2::kHexBufferSize];
    EXPECT_EQ(Sha2().hashToHex(text.data(), hex), 1);
    return hex;
}

TEST(Sha2Test, KnownVectors)
{
    const struct {
        std::string input;
        const char* hex;
    } cases[] = {
        { "", "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e" },
        { "abc", "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f" },
        { "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
            "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909" },
        // Lengths around the padding: the length field fits behind 111
        // bytes but not behind 112, and 128 fills a block.
        { std::string(111, 'a'), "fa9121c7b32b9e01733d034cfc78cbf67f926c7ed83e82200ef86818196921760b4beff48404df811b953828274461673c68d04e297b0eb7b2b4d60fc6b566a2" },
        { std::string(112, 'a'), "c01d080efd492776a1c43bd23dd99d0a2e626d481e16782e75d54c2503b5dc32bd05f0f1ba33e568b88fd2d970929b719ecbb152f58f130a407c8830604b70ca" },
        { std::string(128, 'a'), "b73d1929aa615934e61a871596b3f3b33359f42b8175602e89f7e06e5f658a243667807ed300314b95cacdd579f3e33abdfbe351909519a846d465c59582f321" },
        { std::string(1000000, 'a'), "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b" },
        // A C string ends at its NUL.
        { std::string("abc\0def", 7), "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.size());
        EXPECT_EQ(hexOf(c.input), c.hex);
    }

    // The raw digest agrees with the hex form.
    unsigned char digest[Sha2::kDigestBytes];
    Sha2().digest(reinterpret_cast<const unsigned char*>("abc"), 3, digest);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(digest), Sha2::kDigestBytes).toHex().toStdString(),
        cases[1].hex);
}

// ---- the track hash

class TrackHashTest : public SyncFixture { };

TEST_F(TrackHashTest, GoldenFiles)
{
    const std::string digits = [] {
        std::string s;
        while (s.size() < 1600)
            s += "0123456789";
        return s;
    }();
    std::string eAcute;
    for (int i = 0; i < 1000; ++i)
        eAcute += "\xc3\xa9";
    const struct {
        const char* name;
        std::string content;
        const char* hex;
    } cases[] = {
        { "empty file", "", "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e" },
        // The byte-order mark is not a character of the text.
        { "byte-order mark", "\xef\xbb\xbf" "abc", "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f" },
        { "exactly 1499 characters", digits.substr(0, 1499), "d30476c0acfc9d39f51df7ef784cddaad42bf2fc6a8b18dc58431c712b70382bd5d0c52ae5052930014d342c1cea9c79e7871324c8d3149eb94dafb64fc6769f" },
        { "1500 characters", digits.substr(0, 1500), "d30476c0acfc9d39f51df7ef784cddaad42bf2fc6a8b18dc58431c712b70382bd5d0c52ae5052930014d342c1cea9c79e7871324c8d3149eb94dafb64fc6769f" },
        { "same start, later difference", digits.substr(0, 1499) + "tail differs", "d30476c0acfc9d39f51df7ef784cddaad42bf2fc6a8b18dc58431c712b70382bd5d0c52ae5052930014d342c1cea9c79e7871324c8d3149eb94dafb64fc6769f" },
        // 1000 two-byte characters: 2000 bytes cut to 1499, inside a character.
        { "multi-byte characters", eAcute, "8eccb7a0c2dc8e4ee84dc0bb178c9685d512f0f1c0e470d30891c845ec7c159ebd4e4b82327b36df351202c1ccb068ddf451cb260ab92bf2c75d31fcefb503ef" },
        { "NUL", std::string("<gpx\0 version", 13), "4f91e6599c639090657c0bf76e77b9c89ea93afa2092a61f0c7fcf777247ff35a1ddcb43e5b594999cbd08a887e0d4937226b832917b18fc6c430d3c2b09ed8d" },
        // The 1499th character is the first half of a pair; alone it is
        // encoded as '?'.
        { "pair across character 1499", std::string(1498, 'a') + "\xf0\x9f\x98\x80" "b", "00be9e7e5a36e5ffda4e37a65b1140af46cd14e7e81208907f20a8864e7561540b8b17904d107093a2faab444536bc5ee488f2bc6407350683b57c83dcecf7e8" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = put(std::string(kTracks) + "/t.gpx", c.content);
        QString hash = "kept:";
        ASSERT_TRUE(sync().generateHash512(path, hash));
        EXPECT_EQ(hash.toStdString(), std::string("kept:") + c.hex);
    }
}

// The characters are those a UTF-8 text stream reads from the file: a mark
// of another Unicode encoding switches to it, broken sequences become
// replacement characters. The catalogs carry the same hash.
TEST_F(TrackHashTest, ReadsTheFileAsATextStreamDoes)
{
    auto utf16 = [](const std::u16string& text) {
        return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    };
    std::string multiByte;
    for (int i = 0; i < 1200; ++i)
        multiByte += "\xc3\xa9\xe6\x97\xa5";
    const struct {
        const char* name;
        std::string content;
    } cases[] = {
        { "UTF-16 with its mark", utf16(u"\ufeff<gpx>caf\u00e9</gpx>") },
        { "broken sequences", "<gpx>\xff\xfe\xc3(\xe2\x82</gpx>\xf0\x9f" },
        { "only a mark", "\xef\xbb\xbf" },
        { "mixed widths beyond the cut", multiByte },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = put(std::string(kTracks) + "/r.gpx", c.content);
        QFile file(QString::fromStdString(ce::resolvePath(path.toStdString())));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QTextStream in(&file);
        in.setCodec("UTF-8");
        const QByteArray expected = in.read(1499).toUtf8().left(1499);
        QString hash;
        ASSERT_TRUE(sync().generateHash512(path, hash));
        EXPECT_EQ(hash.toStdString(), hexOf(expected.toStdString()));

        sync().m_list3rdGpx = QStringList { path };
        ASSERT_TRUE(sync().generateTCFFile(sync().catalogFolder()));
        EXPECT_NE(read(kivo::test::kTcf).find("\"o_hash\":\"" + hash.toStdString() + "\""), std::string::npos);
    }
}

TEST_F(TrackHashTest, MissingFileLeavesTheHashAndSaysSo)
{
    enableLog();
    QString hash = "x";
    EXPECT_FALSE(sync().generateHash512("/DataDrive/Falmo/Tracks/none.gpx", hash));
    EXPECT_EQ(hash, "x");
    EXPECT_NE(log().find("The input GPX file can't be found: /DataDrive/Falmo/Tracks/none.gpx"), std::string::npos);
}

TEST_F(TrackHashTest, DebugModeLogsSnippetSizesAndHash)
{
    enableLog();
    ASSERT_TRUE(sync().m_bDebugMode);
    std::string eAcute;
    for (int i = 0; i < 1000; ++i)
        eAcute += "\xc3\xa9";
    const QString path = put(std::string(kTracks) + "/e.gpx", eAcute);
    QString hash;
    ASSERT_TRUE(sync().generateHash512(path, hash));
    const std::string text = log();
    EXPECT_NE(text.find("Debug mode."), std::string::npos);
    EXPECT_NE(text.find("Snippet number of characters:1000, number of byte: 2000"), std::string::npos);
    EXPECT_NE(text.find("szGPXFilePath:/DataDrive/Falmo/Tracks/e.gpx, Hash:" + hash.toStdString()), std::string::npos);
}

// ---- the scans

class TrackScanTest : public SyncFixture { };

TEST_F(TrackScanTest, OwnAndThirdPartyTable)
{
    const std::string t = kTracks;
    // The folders on this machine are spelt in lower case; the lists keep the
    // device spelling the scan was given.
    m_root.writeFile("/datadrive/falmo/tracks/a.gpx", "");
    const char* files[] = {
        "/B.GPX", "/trackgpx", "/track.gpx.bak", "/track.xml", "/.hidden.gpx", // 3rdParty candidates
        "/Profile1/Ride.gpx", "/Profile1/ride2.GPX", "/Profile1/.h.gpx", "/Profile1/notes.txt",
        "/PROFILE/x.gpx", "/MyProfiles/y.gpx", "/Profile2/Rides/z.gpx", "/Other/o.gpx",
        "/Other/profile_x/q.gpx", "/.profile/h.gpx", "/folder.gpx/inner.txt",
    };
    for (const char* f : files)
        m_root.writeFile(t + f, "<gpx/>");

    TestSync& s = sync();
    EXPECT_TRUE(s.scanOwnRecordings(kTracks));
    EXPECT_TRUE(s.scan3rdPartyTracks(kTracks));
    const QString d = kTracks;
    // Names sort case-sensitively with folders first; hidden entries are
    // skipped; a folder counts when its path contains "profile" in any case.
    EXPECT_EQ(s.m_listOwnGpx,
        QStringList({ d + "/MyProfiles/y.gpx", d + "/Other/profile_x/q.gpx", d + "/PROFILE/x.gpx",
            d + "/Profile1/Ride.gpx", d + "/Profile1/ride2.GPX", d + "/Profile2/Rides/z.gpx" }));
    EXPECT_EQ(s.m_list3rdGpx, QStringList({ d + "/B.GPX", d + "/a.gpx", d + "/trackgpx" }));

    // The scans append.
    EXPECT_TRUE(s.scan3rdPartyTracks(kTracks));
    EXPECT_EQ(s.m_list3rdGpx.size(), 6);
}

TEST_F(TrackScanTest, MissingFolderAndLinkedLoop)
{
    TestSync& s = sync();
    EXPECT_FALSE(s.scanOwnRecordings(kTracks));
    EXPECT_FALSE(s.scan3rdPartyTracks(kTracks));
    EXPECT_TRUE(s.m_listOwnGpx.isEmpty());
    EXPECT_TRUE(s.m_list3rdGpx.isEmpty());

    // A link back up the tree is not followed: each file is listed once.
    const std::string ride = m_root.writeFile(std::string(kTracks) + "/Profile1/Ride.gpx", "");
    const std::string folder = ride.substr(0, ride.rfind('/'));
    ASSERT_EQ(::symlink("..", (folder + "/up").c_str()), 0);
    EXPECT_TRUE(s.scanOwnRecordings(kTracks));
    EXPECT_EQ(s.m_listOwnGpx, QStringList({ QString(kTracks) + "/Profile1/Ride.gpx" }));
}

// ---- GPX content for an upload

class GpxContentTest : public SyncFixture { };

TEST_F(GpxContentTest, EscapedPieces)
{
    const struct {
        const char* name;
        std::string content;
        QStringList pieces;
    } cases[] = {
        { "escaping", "a&b<c>d\"e'f &amp;", { "a&amp;b&lt;c&gt;d&quot;e'f &amp;amp;" } },
        { "empty file", "", {} },
        { "5000 characters", std::string(5000, 'x'),
            { QString(2048, 'x'), QString(2048, 'x'), QString(904, 'x') } },
        // Escaping may make a piece longer than 2048 characters.
        { "escaped piece grows", std::string(2048, '<') + "z",
            { QString("&lt;").repeated(2048), "z" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = put(std::string(kTracks) + "/c.gpx", c.content);
        QStringList pieces { "old" };
        ASSERT_TRUE(sync().getGpxContent(path, pieces));
        EXPECT_EQ(pieces, c.pieces);
    }
}

TEST_F(GpxContentTest, SurrogatePairIsNeverSplit)
{
    // U+1F600 takes characters 2048 and 2049: the first piece stops before it.
    const std::string smile = "\xf0\x9f\x98\x80";
    const QString path = put(std::string(kTracks) + "/s.gpx", std::string(2047, 'a') + smile + std::string(2100, 'b'));
    QStringList pieces;
    ASSERT_TRUE(sync().getGpxContent(path, pieces));
    ASSERT_EQ(pieces.size(), 3);
    EXPECT_EQ(pieces[0], QString(2047, 'a'));
    EXPECT_EQ(pieces[1], QString::fromUtf8(smile.c_str()) + QString(2046, 'b'));
    EXPECT_EQ(pieces[2], QString(54, 'b'));
    // Each piece encodes on its own without loss.
    QByteArray joined;
    for (const QString& piece : pieces)
        joined += piece.toUtf8();
    EXPECT_EQ(joined.toStdString(), read(std::string(kTracks) + "/s.gpx"));

    // A pair at the very end stays whole too.
    const QString end = put(std::string(kTracks) + "/e.gpx", std::string(2047, 'a') + smile);
    ASSERT_TRUE(sync().getGpxContent(end, pieces));
    EXPECT_EQ(pieces, QStringList({ QString(2047, 'a'), QString::fromUtf8(smile.c_str()) }));
}

TEST_F(GpxContentTest, MissingFileEmptiesTheList)
{
    QStringList pieces { "old" };
    EXPECT_FALSE(sync().getGpxContent("/DataDrive/Falmo/Tracks/none.gpx", pieces));
    EXPECT_TRUE(pieces.isEmpty());
}

} // namespace
