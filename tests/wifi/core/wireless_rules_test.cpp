// The wireless layer's rules that need no service: keys, the visible list,
// preferred-list moves, network identity, event names and usable addresses.

#include "wifi/core/MyConfigWiFi.h"
#include "wifi/core/wireless_rules.h"

#include <gtest/gtest.h>

#include <QTextCodec>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace kivo::wireless;

ce::WZC_WLAN_CONFIG record(const std::string& ssid, ce::DWORD privacy = ce::NDIS_PRIVACY_WEP_DISABLED,
    ce::DWORD auth = ce::NDIS_AUTH_OPEN, int rssi = -50)
{
    ce::WZC_WLAN_CONFIG r {};
    r.Length = sizeof r;
    r.Ssid.SsidLength = ce::DWORD(ssid.size());
    std::memcpy(r.Ssid.Ssid, ssid.data(), std::min<size_t>(ssid.size(), 32));
    r.Privacy = privacy;
    r.AuthenticationMode = auth;
    r.InfrastructureMode = ce::NDIS_INFRA_INFRASTRUCTURE;
    r.Rssi = rssi;
    return r;
}

std::string ssid(const ce::WZC_WLAN_CONFIG& r)
{
    return ssidText(r).toStdString();
}

// Stands in for the service's derivation: a recognisable pattern.
ce::BOOL fakePassword2Key(ce::WZC_WLAN_CONFIG* r, const char* pass)
{
    for (int i = 0; i < 32; ++i)
        r->KeyMaterial[i] = ce::BYTE(pass[0] + i);
    return 1;
}

std::vector<ce::BYTE> unmasked(const ce::WZC_WLAN_CONFIG& r)
{
    ce::BYTE key[32];
    std::memcpy(key, r.KeyMaterial, 32);
    ce::wzcMaskKeyMaterial(key);
    return std::vector<ce::BYTE>(key, key + 32);
}

std::vector<ce::BYTE> bytes(const std::string& s, size_t pad = 32)
{
    std::vector<ce::BYTE> v(s.begin(), s.end());
    v.resize(pad, 0);
    return v;
}

const std::string k64 = "000102030405060708090a0b0c0d0e0f101112131415161718191A1B1C1D1E1F";

struct KeyCase {
    const char* name;
    ce::DWORD privacy;
    ce::DWORD auth;
    std::string key;
    int keyIndex;
    bool ok;
    bool isAuto;
    ce::DWORD keyLength; // checked when ok and not auto
    ce::DWORD flags;
    bool masked;
    std::vector<ce::BYTE> material; // the key bytes (unmasked), when given
};

TEST(WirelessKeys, Table)
{
    const std::vector<KeyCase> cases = {
        { "wep ascii 5", 0, 0, "abcde", 1, true, false, 5, 0x01, true, bytes("abcde") },
        { "wep ascii 13 of hex digits", 0, 1, "0123456789abc", 2, true, false, 13, 0x01, true, bytes("0123456789abc") },
        { "wep hex 10", 0, 0, "0123456789", 1, true, false, 5, 0x01, true, { 0x01, 0x23, 0x45, 0x67, 0x89 } },
        { "wep hex 26", 0, 0, "00112233445566778899AABBcc", 1, true, false, 13, 0x01, true,
            { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC } },
        { "wep hex 12 refused", 0, 0, "0123456789ab", 1, false, false, 0, 0, false, {} },
        { "wep bad digit", 0, 0, "012345678g", 1, false, false, 0, 0, false, {} },
        { "wep empty", 0, 0, "", 1, false, false, 0, 0, false, {} },
        { "wep auto", 0, 0, "AuTo", 1, true, true, 0, 0, false, {} },
        { "wpa 7 refused", 4, 4, "1234567", 1, false, false, 0, 0, false, {} },
        { "wpa 8 passphrase", 4, 4, "12345678", 1, true, false, 8, 0x13, true, {} },
        { "wpa2 63 passphrase", 6, 7, std::string(63, 'p'), 1, true, false, 63, 0x13, true, {} },
        { "wpa 64 raw", 4, 4, k64, 1, true, false, 32, 0x01, false,
            { 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28,
                29, 30, 31 } },
        { "wpa 64 bad digit", 4, 4, k64.substr(0, 63) + "x", 1, false, false, 0, 0, false, {} },
        { "wpa 65 refused", 4, 4, k64 + "0", 1, false, false, 0, 0, false, {} },
        { "wpa auto", 6, 7, "auto", 1, true, true, 0, 0, false, {} },
        { "aes with wpa2 enterprise is personal", 6, 6, "12345678", 1, true, false, 8, 0x13, true, {} },
        { "wpanone with tkip is personal", 4, 5, "12345678", 1, true, false, 8, 0x13, true, {} },
        { "open takes any key untouched", 1, 0, "whatever", 1, true, false, 0, 0, false, {} },
        { "wpa enterprise untouched", 4, 3, "whatever", 1, true, false, 0, 0, false, {} },
        { "wpanone without tkip untouched", 1, 5, "x", 1, true, false, 0, 0, false, {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ce::WZC_WLAN_CONFIG r = record("Net", c.privacy, c.auth);
        bool isAuto = false;
        bool ok = setKeyMaterial(&r, QString::fromStdString(c.key), c.keyIndex, &isAuto, fakePassword2Key);
        ASSERT_EQ(ok, c.ok);
        EXPECT_EQ(isAuto, c.isAuto);
        if (!ok)
            continue;
        EXPECT_EQ(r.dwCtlFlags, c.flags);
        EXPECT_EQ(r.KeyLength, (!c.isAuto && c.flags) ? c.keyLength : 0u);
        std::vector<ce::BYTE> plain = c.masked ? unmasked(r) : std::vector<ce::BYTE>(r.KeyMaterial, r.KeyMaterial + 32);
        if (!c.material.empty()) {
            std::vector<ce::BYTE> want = c.material;
            want.resize(32, 0);
            EXPECT_EQ(plain, want);
        }
        if (c.flags == 0x13) { // the service's derivation, then masked
            EXPECT_EQ(plain[0], ce::BYTE(c.key[0]));
        }
        const bool personal = c.privacy != 0 && (c.flags != 0 || c.isAuto);
        EXPECT_EQ(r.EapolParams.bEnable8021x, personal ? 1 : 0);
        if (personal) {
            EXPECT_EQ(r.EapolParams.dwEapFlags, 0x80000000u);
            EXPECT_EQ(r.EapolParams.dwEapType, 13u);
            EXPECT_EQ(r.WPAMCastCipher, 4u);
        }
    }
}

TEST(WirelessKeys, PassphraseLongerThan63BytesIsRefusedNotCut)
{
    QTextCodec* before = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    ce::WZC_WLAN_CONFIG r = record("Net", 4, 4);
    // 32 characters, 64 bytes: cutting it at 63 would end inside the last one.
    EXPECT_FALSE(setKeyMaterial(&r, QString(32, QChar(0xE9)), 1, nullptr, fakePassword2Key));
    EXPECT_EQ(r.KeyLength, 0u);
    ce::WZC_WLAN_CONFIG ok = record("Net", 4, 4);
    EXPECT_TRUE(setKeyMaterial(&ok, QString(31, QChar(0xE9)) + "x", 1, nullptr, fakePassword2Key));
    EXPECT_EQ(ok.KeyLength, 63u);
    QTextCodec::setCodecForLocale(before);
}

TEST(WirelessKeys, WepKeyIndexAndMaskedMaterialDiffersFromKey)
{
    for (auto [given, stored] :
        std::vector<std::pair<int, ce::DWORD>> { { 1, 0 }, { 3, 2 }, { 4, 3 }, { 0, 0 }, { 5, 0 } }) {
        ce::WZC_WLAN_CONFIG r = record("Net", 0);
        ASSERT_TRUE(setKeyMaterial(&r, "abcde", given, nullptr, nullptr));
        EXPECT_EQ(r.KeyIndex, stored) << given;
        EXPECT_NE(std::memcmp(r.KeyMaterial, "abcde", 5), 0) << "the key is handed on masked";
    }
}

TEST(WirelessKeys, PassphraseWithoutServiceIsRefused)
{
    ce::WZC_WLAN_CONFIG r = record("Net", 6, 7);
    EXPECT_FALSE(setKeyMaterial(&r, "12345678", 1, nullptr, nullptr));
}

TEST(WirelessVisibleList, HiddenDroppedDuplicatesMergedAndSortedByBytes)
{
    std::vector<ce::WZC_WLAN_CONFIG> list;
    ce::WZC_WLAN_CONFIG blank = record("    ");
    ce::WZC_WLAN_CONFIG empty = record("");
    ce::WZC_WLAN_CONFIG nuls = record(std::string(3, '\0'));
    ce::WZC_WLAN_CONFIG first = record("a", 1, 0, -40);
    ce::BYTE authData[3] = { 1, 2, 3 };
    first.EapolParams.pbAuthData = authData;
    first.EapolParams.dwAuthDataLen = 3;
    for (const auto& r : { record("b", 1, 0, -60), blank, first, empty, record("B", 1, 0, -50), record("a", 1, 0, -70),
             nuls, record("b", 1, 0, -60) })
        addVisibleNetwork(list, r);
    sortVisibleNetworks(list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(ssid(list[0]), "B");
    EXPECT_EQ(ssid(list[1]), "a");
    EXPECT_EQ(ssid(list[2]), "b");
    EXPECT_EQ(list[1].Rssi, -70) << "the kept record is the one with the lower Rssi";
    EXPECT_TRUE(list[1].EapolParams.pbAuthData == nullptr); // packed: compared by value
    EXPECT_EQ(list[1].EapolParams.dwAuthDataLen, 0u);
}

TEST(WirelessVisibleList, EqualRssiKeepsTheFirstAndStrongerNeverReplaces)
{
    std::vector<ce::WZC_WLAN_CONFIG> list;
    ce::WZC_WLAN_CONFIG one = record("x", 1, 0, -50);
    one.KeyIndex = 1;
    addVisibleNetwork(list, one);
    addVisibleNetwork(list, record("x", 1, 0, -50));
    addVisibleNetwork(list, record("x", 1, 0, -30));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].KeyIndex, 1u);
    EXPECT_EQ(list[0].Rssi, -50);
}

TEST(WirelessVisibleList, SsidComparesWithinTheFieldAsNulTerminated)
{
    ce::WZC_WLAN_CONFIG full = record(std::string(32, 'z'));
    ce::WZC_WLAN_CONFIG shorter = record(std::string(31, 'z'));
    EXPECT_GT(compareSsid(full, shorter), 0);
    EXPECT_EQ(compareSsid(full, full), 0);
    // Bytes after a NUL within the field do not count.
    ce::WZC_WLAN_CONFIG a = record("ab");
    ce::WZC_WLAN_CONFIG b = record("ab");
    b.Ssid.Ssid[3] = 'q';
    EXPECT_EQ(compareSsid(a, b), 0);
}

std::vector<ce::WZC_WLAN_CONFIG> readBack(const std::vector<ce::BYTE>& list, ce::DWORD* index)
{
    ce::RAW_DATA raw { ce::DWORD(list.size()), const_cast<ce::BYTE*>(list.data()) };
    const ce::WZC_WLAN_CONFIG* recs = nullptr;
    ce::DWORD count = 0;
    bool truncated = true;
    EXPECT_TRUE(readConfigList(raw, &recs, &count, index, &truncated));
    EXPECT_FALSE(truncated);
    return std::vector<ce::WZC_WLAN_CONFIG>(recs, recs + count);
}

TEST(WirelessPreferredList, Moves)
{
    struct Case {
        const char* name;
        bool hasList;
        std::vector<std::string> old;
        ce::DWORD oldIndex;
        std::string added;
        std::vector<std::string> expected;
        ce::DWORD index;
        PreferredMove move;
    };
    const std::vector<Case> cases = {
        { "no list", false, {}, 0, "N", { "N" }, 0, PreferredMove::NewList },
        { "empty list", true, {}, 7, "N", { "N" }, 0, PreferredMove::Added },
        { "new network", true, { "A", "B" }, 1, "N", { "N", "A", "B" }, 1, PreferredMove::Added },
        { "third of five", true, { "A", "B", "C", "D", "E" }, 2, "C", { "C", "A", "B", "D", "E" }, 2,
            PreferredMove::MovedToTop },
        { "already first", true, { "A", "B" }, 0, "A", { "A", "B" }, 0, PreferredMove::MovedToTop },
        { "last", true, { "A", "B", "C" }, 1, "C", { "C", "A", "B" }, 1, PreferredMove::MovedToTop },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ce::WZC_WLAN_CONFIG> old;
        for (const auto& s : c.old)
            old.push_back(record(s));
        ce::WZC_WLAN_CONFIG added = record(c.added);
        added.KeyIndex = 3; // the new record, not the old copy, goes first
        PreferredMove move;
        ce::DWORD index = 99;
        auto list = readBack(
            buildPreferredList(c.hasList, old.data(), ce::DWORD(old.size()), c.oldIndex, added, &move), &index);
        std::vector<std::string> names;
        for (const auto& r : list)
            names.push_back(ssid(r));
        EXPECT_EQ(names, c.expected);
        EXPECT_EQ(index, c.index);
        EXPECT_EQ(move, c.move);
        EXPECT_EQ(list[0].KeyIndex, 3u);
    }
}

TEST(WirelessPreferredList, ReadingAListThatClaimsMoreThanItHolds)
{
    std::vector<ce::BYTE> buf(ce::wzcConfigListSize(2));
    ce::DWORD n = 5;
    std::memcpy(buf.data(), &n, 4);
    ce::RAW_DATA raw { ce::DWORD(buf.size()), buf.data() };
    const ce::WZC_WLAN_CONFIG* recs;
    ce::DWORD count, index;
    bool truncated;
    ASSERT_TRUE(readConfigList(raw, &recs, &count, &index, &truncated));
    EXPECT_EQ(count, 2u);
    EXPECT_TRUE(truncated);
    raw.dwDataLen = 7;
    EXPECT_FALSE(readConfigList(raw, &recs, &count, &index, &truncated));
    EXPECT_FALSE(readConfigList(ce::RAW_DATA { 0, nullptr }, &recs, &count, &index, &truncated));
}

TEST(WirelessNetworkIdentity, SameNetwork)
{
    ce::WZC_WLAN_CONFIG a = record("Home", 6, 7);
    EXPECT_TRUE(isSameNetwork(a, record("Home", 6, 7)));
    EXPECT_FALSE(isSameNetwork(a, record("Home", 4, 7)));
    EXPECT_FALSE(isSameNetwork(a, record("Home", 6, 4)));
    EXPECT_FALSE(isSameNetwork(a, record("Hom", 6, 7)));
    ce::WZC_WLAN_CONFIG adhoc = record("Home", 6, 7);
    adhoc.InfrastructureMode = 0;
    EXPECT_FALSE(isSameNetwork(a, adhoc));
    EXPECT_TRUE(isSameNetwork(record("", 0, 0), record("", 6, 7))) << "two empty SSIDs of one mode are one network";
}

TEST(WirelessEvents, NamesByCode)
{
    const std::vector<std::pair<ce::DWORD, const char*>> cases = {
        { 1, "WZC_ASSOCIATING" },
        { 2, "WZC_FAILED_ASSOCIATION" },
        { 3, "WZC_SUCCESSFUL_ASSOCIATION" },
        { 4, "WZC_CLOSE_EAPOL_SESSION" },
        { 5, "WZC_AUTHENTICATING" },
        { 6, "WZC_AUTHENTICATED" },
        { 7, "WZC_CANCEL_AUTH" },
        { 8, "WZC_FAILED_ASSOCIATION" },
        { 9, "WZC_FAILED_ASSOCIATION" },
        { 10, "WZC_PREFERED_LIST_EXHAUSTED" },
        { 11, "WZC_REAUTHENTICATING" },
        { 12, "WZC_VISIBLE_NETWORK" },
        { 13, "WZC_ASSOCIATED_REQUIRES_8021X" },
        { 14, "WZC_CONFIGURED" },
        { 0xFFFFFFFFu, "WZC_STARTED" },
        { 0, "default" },
        { 15, "default" },
        { 0xFFFFFFFEu, "default" },
    };
    for (auto [code, name] : cases)
        EXPECT_EQ(CMyConfigWiFi::eventName(code).toStdString(), name) << code;
}

TEST(WirelessAddress, UsableRules)
{
    const std::vector<std::pair<const char*, bool>> cases = {
        { "10.0.0.5", true },
        { "192.168.1.20", true },
        { "168.254.1.1", true },
        { "169.254.1.5", false },
        { "169.1.1.1", false },
        { "0.0.0.0", false },
        { "000.0.0.0", false },
        { "127.0.0.1", false },
        { "127.0.0.2", true },
        { "255.255.255.255", false },
        { "256.1.1.1", false },
        { "1.2.3", false },
        { "1.2.3.4.5", false },
        { "1.2.3.", false },
        { "1.2.-3.4", false },
        { "1.2.3.4 ", false },
        { "a.b.c.d", false },
        { "", false },
    };
    for (auto [text, usable] : cases)
        EXPECT_EQ(CMyConfigWiFi::isUsableAddress(QString::fromLatin1(text)), usable) << text;
}

} // namespace
