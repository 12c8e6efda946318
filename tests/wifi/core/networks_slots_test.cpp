// The saved-network records, their ini text and the security text maps.
#include "tests/support/temp_root.h"
#include "wifi/core/saved_networks.h"

#include <QFile>
#include <QSettings>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kivowifi;

namespace {

WiFiSettings net(const QString& name, const QString& password = QStringLiteral("secret pass"))
{
    return { QStringLiteral("Encryption 3 enabled"), QStringLiteral("WPA2 PSK"), QStringLiteral("Key index 1"), name,
        QStringLiteral("User"), password };
}

SavedNetworks five()
{
    return { net("A"), net("B"), net("C"), net("D"), net("E") };
}

std::vector<QString> names(const SavedNetworks& s)
{
    std::vector<QString> out;
    for (const auto& r : s)
        out.push_back(r.network);
    return out;
}

// The ini text a slot has in the file, as the settings file writes it.
std::string section(int slot, const WiFiSettings& s)
{
    return "[Settings" + std::to_string(slot) + "]\nAuthentication=" + s.authentication.toStdString()
        + "\nEncryption=" + s.encryption.toStdString() + "\nKey%20index=" + s.keyIndex.toStdString()
        + "\nNetwork=" + s.network.toStdString() + "\nPassword=" + s.password.toStdString()
        + "\nUser%20name=" + s.userName.toStdString() + "\n";
}

std::string written(const SavedNetworks& records)
{
    kivo::test::TempDeviceRoot root;
    QString path = QString::fromStdString(root.path()) + QStringLiteral("/WiFiSettings.ini");
    {
        QSettings file(path, QSettings::IniFormat);
        writeSlots(file, records);
    }
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll().toStdString();
}

} // namespace

TEST(SavedNetworks, SlotOperationsAndTheirIniText)
{
    const WiFiSettings P = placeholderSettings();
    WiFiSettings newcomer = net("F", "0");
    WiFiSettings dAgain = net("D", "new key");
    struct Case {
        const char* name;
        SavedNetworks after;
        SavedNetworks expected;
    } cases[] = {
        { "new network with five saved", planSave(five(), newcomer).file,
            { newcomer, net("A"), net("B"), net("C"), net("D") } },
        { "network in slot 3 moves to the front", planSave(five(), dAgain).file,
            { dAgain, net("A"), net("B"), net("C"), net("E") } },
        { "network in slot 0 is updated in place", planSave(five(), net("A", "changed")).file,
            { net("A", "changed"), net("B"), net("C"), net("D"), net("E") } },
        { "forget slot 1", slotsAfterForget(five(), "B"), { net("A"), net("C"), net("D"), net("E"), P } },
        { "forget the last real network", slotsAfterForget({ net("A"), P, P, P, P }, "A"), { P, P, P, P, P } },
        { "forget a name saved twice", slotsAfterForget({ net("A"), net("B"), net("B"), net("C"), P }, "B"),
            { net("A"), net("C"), P, P, P } },
        { "forget an unknown name", slotsAfterForget(five(), "Z"), five() },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(names(c.after), names(c.expected));
        std::string want;
        for (int i = 0; i < SAVED_NETWORK_COUNT; ++i)
            want += (i ? "\n" : "") + section(i, c.expected[size_t(i)]);
        EXPECT_EQ(written(c.after), want);
    }
    // The placeholder exactly as an empty slot holds it.
    EXPECT_EQ(section(4, P),
        "[Settings4]\nAuthentication=BravikDefault\nEncryption=BravikDefault\nKey%20index=Key index 1\n"
        "Network=BravikDefault\nPassword=BravikDefault\nUser%20name=User\n");
}

TEST(SavedNetworks, SaveUpdatesTheHeldRecordsLikeTheFile)
{
    SavePlan moved = planSave(five(), net("D", "k2"));
    EXPECT_TRUE(moved.moved);
    EXPECT_EQ(moved.from, 3);

    // Two saves without a read between keep both networks.
    SavePlan added = planSave(placeholderSlots(), net("F"));
    EXPECT_FALSE(added.moved);
    SavePlan second = planSave(added.file, net("G"));
    EXPECT_EQ(names(second.file),
        names({ net("G"), net("F"), placeholderSettings(), placeholderSettings(), placeholderSettings() }));

    // A record still holding the placeholder encryption is never matched.
    WiFiSettings odd = net("C");
    odd.encryption = QLatin1String(PLACEHOLDER_TEXT);
    SavePlan p = planSave(five(), odd);
    EXPECT_FALSE(p.moved);
    EXPECT_EQ(names(p.file), names({ odd, net("A"), net("B"), net("C"), net("D") }));
}

TEST(SavedNetworks, SlotsRoundTripThroughTheFile)
{
    kivo::test::TempDeviceRoot root;
    QString path = QString::fromStdString(root.path()) + QStringLiteral("/WiFiSettings.ini");
    WiFiSettings odd = { QStringLiteral("WEP enabled"), QStringLiteral("Shared"), QStringLiteral("Key index 4"),
        QStringLiteral("Caf\u00e9, Bar"), QStringLiteral("Hidden"), QStringLiteral(" a=b;c, \"d\" ") };
    SavedNetworks records = placeholderSlots();
    records[2] = odd;
    {
        QSettings file(path, QSettings::IniFormat);
        writeSlots(file, records);
    }
    QSettings file(path, QSettings::IniFormat);
    EXPECT_EQ(readSlot(file, 2), odd);
    EXPECT_EQ(readSlot(file, 4), placeholderSettings());
    // Hand-written values with commas read back as written; lines that do
    // not parse cost only themselves.
    QFile hand(path);
    hand.open(QIODevice::WriteOnly);
    const char text[] = "[Settings0]\nNetwork=Cafe,Main\nPassword=abc\n\xff\xfe\0junk\n=5\n[Broken\n"
                        "[Settings1]\nNetwork=Next\n";
    hand.write(text, sizeof text - 1);
    hand.close();
    QSettings again(path, QSettings::IniFormat);
    EXPECT_EQ(readSlot(again, 0).network, QStringLiteral("Cafe,Main"));
    EXPECT_EQ(readSlot(again, 0).password, QStringLiteral("abc"));
    EXPECT_TRUE(readSlot(again, 0).encryption.isEmpty());
    EXPECT_EQ(readSlot(again, 1).network, QStringLiteral("Next"));
}

TEST(SavedNetworks, SecurityTextMaps)
{
    struct {
        const char* text;
        ce::DWORD privacy;
    } encryption[] = { { "WEP enabled", 0 }, { "WEP disabled", 1 }, { "WEP key absent", 2 }, { "WEP not supported", 3 },
        { "Encryption 2 enabled", 4 }, { "Encryption 2 key absent", 5 }, { "Encryption 3 enabled", 6 },
        { "Encryption 3 key absent", 7 }, { "AES", 0 }, { "wep enabled", 0 }, { "", 0 } };
    for (auto c : encryption)
        EXPECT_EQ(privacyForEncryptionText(QLatin1String(c.text)), c.privacy) << c.text;
    struct {
        const char* text;
        ce::DWORD mode;
    } authentication[] = { { "Open", 0 }, { "Shared", 1 }, { "Auto switch", 2 }, { "WPA", 3 }, { "WPAPSK", 4 },
        { "WPA none", 5 }, { "WPA2", 6 }, { "WPA2 PSK", 7 }, { "Max", 8 }, { "WPA2PSK", 0 }, { "", 0 } };
    for (auto c : authentication)
        EXPECT_EQ(authenticationModeForText(QLatin1String(c.text)), c.mode) << c.text;

    for (ce::DWORD v = 0; v < 8; ++v)
        EXPECT_EQ(privacyForEncryptionText(encryptionTextForPrivacy(v)), v);
    for (ce::DWORD v = 0; v < 9; ++v)
        EXPECT_EQ(authenticationModeForText(authenticationTextForMode(v)), v);
    EXPECT_TRUE(encryptionTextForPrivacy(8).isEmpty());
    EXPECT_TRUE(authenticationTextForMode(9).isEmpty());
    EXPECT_TRUE(authenticationTextForMode(0xFFFFFFFF).isEmpty());

    struct {
        const char* text;
        int index;
    } keys[] = { { "Key index 1", 1 }, { "Key index 3", 3 }, { "Key index 4", 4 }, { "Key index x", 0 }, { "", 0 } };
    for (auto c : keys)
        EXPECT_EQ(keyIndexFromText(QLatin1String(c.text)), c.index) << c.text;

    EXPECT_EQ(joinKey(QStringLiteral("0")), QString());
    EXPECT_EQ(joinKey(QString()), QString());
    EXPECT_EQ(joinKey(QStringLiteral("00000")), QStringLiteral("00000"));
}

TEST(SavedNetworks, SettingKeysAndDeviceBrand)
{
    WiFiSettings s;
    struct {
        const char* key;
        QString WiFiSettings::*field;
    } keys[] = { { "Settings/Encryption", &WiFiSettings::encryption },
        { "Settings/Authentication", &WiFiSettings::authentication }, { "Settings/Key index", &WiFiSettings::keyIndex },
        { "Settings/Network", &WiFiSettings::network }, { "Settings/User name", &WiFiSettings::userName },
        { "Settings/Password", &WiFiSettings::password } };
    for (auto k : keys)
        EXPECT_EQ(settingsField(s, QLatin1String(k.key)), &(s.*k.field)) << k.key;
    EXPECT_EQ(settingsField(s, QStringLiteral("Settings0/Network")), nullptr);
    EXPECT_EQ(settingsField(s, QStringLiteral("settings/network")), nullptr);

    EXPECT_EQ(brandFromDeviceXml(QStringLiteral("<device><hardware><type>USA-West</type></hardware></device>")),
        QStringLiteral("USA-West"));
    EXPECT_EQ(brandFromDeviceXml(QStringLiteral("<hardware> <type>X</type>")), QString());
    EXPECT_EQ(brandFromDeviceXml(QStringLiteral("<hardware><type>unterminated")), QString());
    EXPECT_EQ(brandFromDeviceXml(QString()), QString());

    const QString text = QStringLiteral("Please register your\n device in KivoShare\n before using WIFI\n Sync.");
    EXPECT_EQ(brandedServiceText(text, QStringLiteral("USA-West")),
        QStringLiteral("Please register your\n device in Zyrelle Pedara\n before using WIFI\n Sync."));
    EXPECT_EQ(brandedServiceText(QStringLiteral("KivoShare at KivoShare"), QStringLiteral("EU-AUS")),
        QStringLiteral("Zyrelle Pedara at Zyrelle Pedara"));
    EXPECT_EQ(brandedServiceText(text, QStringLiteral("usa")), text);
    EXPECT_EQ(brandedServiceText(text, QStringLiteral("EU")), text);
}
