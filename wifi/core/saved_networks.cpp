#include "wifi/core/saved_networks.h"

#include <QSettings>
#include <QStringList>

namespace kivowifi {

namespace {

const char* const kEncryptionTexts[] = {
    "WEP enabled",
    "WEP disabled",
    "WEP key absent",
    "WEP not supported",
    "Encryption 2 enabled",
    "Encryption 2 key absent",
    "Encryption 3 enabled",
    "Encryption 3 key absent",
};

const char* const kAuthenticationTexts[] = {
    "Open",
    "Shared",
    "Auto switch",
    "WPA",
    "WPAPSK",
    "WPA none",
    "WPA2",
    "WPA2 PSK",
    "Max",
};

template <size_t N> ce::DWORD indexOf(const char* const (&table)[N], const QString& text)
{
    for (size_t i = 0; i < N; ++i)
        if (text == QLatin1String(table[i]))
            return ce::DWORD(i);
    return 0;
}

const char* const kFields[] = { "Encryption", "Authentication", "Key index", "Network", "User name", "Password" };

QString* fieldOf(WiFiSettings& s, int i)
{
    switch (i) {
    case 0:
        return &s.encryption;
    case 1:
        return &s.authentication;
    case 2:
        return &s.keyIndex;
    case 3:
        return &s.network;
    case 4:
        return &s.userName;
    default:
        return &s.password;
    }
}

// A value as text. An unquoted value with commas in a hand-written file
// reads as a list; it is taken back as the text it was.
QString textValue(const QVariant& v)
{
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

} // namespace

WiFiSettings placeholderSettings()
{
    const QString p = QLatin1String(PLACEHOLDER_TEXT);
    return { p, p, QStringLiteral("Key index 1"), p, QStringLiteral("User"), p };
}

SavedNetworks placeholderSlots()
{
    SavedNetworks records;
    records.fill(placeholderSettings());
    return records;
}

ce::DWORD privacyForEncryptionText(const QString& text)
{
    return indexOf(kEncryptionTexts, text);
}

ce::DWORD authenticationModeForText(const QString& text)
{
    return indexOf(kAuthenticationTexts, text);
}

QString encryptionTextForPrivacy(ce::DWORD privacy)
{
    return privacy < std::size(kEncryptionTexts) ? QLatin1String(kEncryptionTexts[privacy]) : QString();
}

QString authenticationTextForMode(ce::DWORD mode)
{
    return mode < std::size(kAuthenticationTexts) ? QLatin1String(kAuthenticationTexts[mode]) : QString();
}

int keyIndexFromText(const QString& text)
{
    if (text.isEmpty())
        return 0;
    QChar last = text.at(text.size() - 1);
    return (last >= QLatin1Char('0') && last <= QLatin1Char('9')) ? last.unicode() - '0' : 0;
}

QString joinKey(const QString& password)
{
    // A network joined without a key is stored with the password "0"; no
    // real key is a single digit, so "0" always means none.
    if (password == QLatin1String("0"))
        return QString();
    return password;
}

SavePlan planSave(const SavedNetworks& saved, const WiFiSettings& joined)
{
    SavePlan plan;
    if (joined.encryption != QLatin1String(PLACEHOLDER_TEXT)) {
        for (int k = 0; k < SAVED_NETWORK_COUNT; ++k) {
            if (saved[size_t(k)].network == joined.network) {
                plan.from = k;
                break;
            }
        }
    }
    if (plan.from >= 0) {
        plan.moved = true;
        plan.file = saved;
        for (int j = plan.from - 1; j >= 0; --j)
            plan.file[size_t(j + 1)] = saved[size_t(j)];
        plan.file[0] = joined;
        return plan;
    }
    plan.file[0] = joined;
    for (int j = 0; j < SAVED_NETWORK_COUNT - 1; ++j)
        plan.file[size_t(j + 1)] = saved[size_t(j)];
    return plan;
}

SavedNetworks slotsAfterForget(const SavedNetworks& saved, const QString& name)
{
    SavedNetworks out = placeholderSlots();
    size_t n = 0;
    for (const WiFiSettings& s : saved)
        if (s.network != name)
            out[n++] = s;
    return out;
}

QString settingsKey(int slot, const char* field)
{
    return QStringLiteral("Settings%1/%2").arg(slot).arg(QLatin1String(field));
}

WiFiSettings readSlot(QSettings& file, int slot)
{
    WiFiSettings s;
    for (int i = 0; i < 6; ++i)
        *fieldOf(s, i) = textValue(file.value(settingsKey(slot, kFields[i])));
    return s;
}

void writeSlot(QSettings& file, int slot, const WiFiSettings& settings)
{
    WiFiSettings s = settings;
    for (int i = 0; i < 6; ++i)
        file.setValue(settingsKey(slot, kFields[i]), *fieldOf(s, i));
}

void writeSlots(QSettings& file, const SavedNetworks& records)
{
    for (int slot = 0; slot < SAVED_NETWORK_COUNT; ++slot)
        writeSlot(file, slot, records[size_t(slot)]);
    file.sync();
}

QString* settingsField(WiFiSettings& settings, const QString& key)
{
    for (int i = 0; i < 6; ++i)
        if (key == QLatin1String("Settings/") + QLatin1String(kFields[i]))
            return fieldOf(settings, i);
    return nullptr;
}

QString brandFromDeviceXml(const QString& content)
{
    const QString open = QStringLiteral("<hardware><type>");
    int start = content.indexOf(open);
    if (start < 0)
        return QString();
    start += open.size();
    int end = content.indexOf(QStringLiteral("</type>"), start);
    if (end < 0)
        return QString();
    return content.mid(start, end - start);
}

QString brandedServiceText(const QString& text, const QString& brand)
{
    if (!brand.contains(QLatin1String("USA")) && !brand.contains(QLatin1String("AUS")))
        return text;
    QString out = text;
    out.replace(QLatin1String("KivoShare"), QLatin1String("Zyrelle Pedara"));
    return out;
}

} // namespace kivowifi
