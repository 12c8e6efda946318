// The saved networks behind the joins: the settings record of one network,
// the five saved records of WiFiSettings.ini and their placeholders, the
// texts of the security settings and the values the wireless layer takes for
// them, and device.xml's brand. Plain logic without the flow's window, so it
// can be checked on its own.
#pragma once

#include "platform/types.h"

#include <QString>

#include <array>

class QSettings;

// The settings of one network, as saved and as joined.
struct WiFiSettings {
    QString encryption; // "WEP enabled", "Encryption 3 enabled", ...
    QString authentication; // "Open", "WPA2 PSK", ...
    QString keyIndex; // "Key index 1" to "Key index 4"
    QString network; // the SSID
    QString userName; // in a saved record "User", or "Hidden" when it was not visible
    QString password;

    bool operator==(const WiFiSettings& o) const
    {
        return encryption == o.encryption && authentication == o.authentication && keyIndex == o.keyIndex
            && network == o.network && userName == o.userName && password == o.password;
    }
    bool operator!=(const WiFiSettings& o) const { return !(*this == o); }
};

// The last "LaunchBrowser" value read from CheckBrowserStatus.ini, as text
// (empty when none was read).
struct BrowserStatus {
    QString launchBrowser;
};

namespace kivowifi {

constexpr int SAVED_NETWORK_COUNT = 5;
using SavedNetworks = std::array<WiFiSettings, SAVED_NETWORK_COUNT>;

// The text an empty slot holds.
constexpr const char* PLACEHOLDER_TEXT = "BravikDefault";
WiFiSettings placeholderSettings();
SavedNetworks placeholderSlots();

// The security texts and the wireless layer's values for them. Texts outside
// the tables give 0; values outside them give an empty text.
ce::DWORD privacyForEncryptionText(const QString& text);
ce::DWORD authenticationModeForText(const QString& text);
QString encryptionTextForPrivacy(ce::DWORD privacy); // 0-7
QString authenticationTextForMode(ce::DWORD mode); // 0-8
// "Key index 3" -> 3: the last character as a decimal digit, else 0.
int keyIndexFromText(const QString& text);
// The key a join sends: none for an empty password and for the "0" stored
// for a network saved without one.
QString joinKey(const QString& password);

// Saving the network just joined. When a slot holds its name (and it is not
// a placeholder) it moves to the front and the others keep their order;
// otherwise it goes first and the fifth record falls out. The file and the
// records held afterwards are the same five.
struct SavePlan {
    bool moved = false; // found in slot `from` and moved to the front
    int from = -1;
    SavedNetworks file; // the five records to write and hold
};
SavePlan planSave(const SavedNetworks& saved, const WiFiSettings& joined);

// Forgetting a network: every slot with its name goes, the records below move
// up and placeholders fill the end.
SavedNetworks slotsAfterForget(const SavedNetworks& saved, const QString& name);

// WiFiSettings.ini keys: "Settings<slot>/<field>".
QString settingsKey(int slot, const char* field);
WiFiSettings readSlot(QSettings& file, int slot);
void writeSlot(QSettings& file, int slot, const WiFiSettings& settings);
void writeSlots(QSettings& file, const SavedNetworks& records);

// The field of a record that setSetting's key names ("Settings/Encryption",
// ...); null for any other key.
QString* settingsField(WiFiSettings& settings, const QString& key);

// device.xml: the text between the first "<hardware><type>" and the "</type>"
// after it; empty when absent.
QString brandFromDeviceXml(const QString& content);
// The service texts name the service "Zyrelle Pedara" for brands containing
// "USA" or "AUS" (case-sensitive).
QString brandedServiceText(const QString& text, const QString& brand);

} // namespace kivowifi
