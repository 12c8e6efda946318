// The flow's saved networks and joins: WiFiSettings.ini and its defaults,
// the record in use, joining it, the visible networks for the screens, the
// portal verdict the probe leaves, KivoMap's keyboard and device.xml.
#include "wifi/core/KivoWiFiFlow.h"

#include "platform/paths.h"
#include "wifi/core/IPCHelper.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/core/probe_files.h"
#include "wifi/core/saved_networks.h"

#include <QFile>
#include <QSettings>

using namespace kivowifi;

namespace {

constexpr const char* kSettingsFile = "\\SystemDrive\\Falmo\\program\\wifi\\WiFiSettings.ini";
constexpr const char* kDefaultSettingsFile = "\\SystemDrive\\Falmo\\program\\wifi\\WiFiSettingsDefault.ini";
constexpr const char* kDeviceXml = "/SystemDrive//device.xml";
// device.xml is a few kilobytes; more than this is not a device description.
constexpr qint64 kDeviceXmlLimit = 1 << 20;
// The longest network name and key a join hands on.
constexpr int kJoinTextLimit = 259;
constexpr int kVisibleKeyLimit = 255;

} // namespace

// ---- visible networks ----------------------------------------------------------

int KivoWiFiFlow::refreshAPList()
{
    m_configWiFi.refreshInterface();
    return 0;
}

int KivoWiFiFlow::getAPCount()
{
    return m_configWiFi.visibleCount();
}

namespace {

const ce::WZC_WLAN_CONFIG* visibleAt(CMyConfigWiFi& wifi, int index)
{
    if (index < 0 || index >= wifi.visibleCount() || !wifi.visibleList())
        return nullptr;
    return &wifi.visibleList()[index];
}

} // namespace

QString KivoWiFiFlow::getAPName(int index)
{
    const ce::WZC_WLAN_CONFIG* ap = visibleAt(m_configWiFi, index);
    if (!ap)
        return QString();
    const char* bytes = reinterpret_cast<const char*>(ap->Ssid.Ssid);
    int n = 0;
    while (n < int(sizeof ap->Ssid.Ssid) && bytes[n])
        ++n;
    return QString::fromLatin1(bytes, n);
}

int KivoWiFiFlow::getAPSignalStrength(int index)
{
    const ce::WZC_WLAN_CONFIG* ap = visibleAt(m_configWiFi, index);
    return ap ? ap->Rssi : 0;
}

int KivoWiFiFlow::getAPPrivacy(int index)
{
    const ce::WZC_WLAN_CONFIG* ap = visibleAt(m_configWiFi, index);
    return ap ? int(ap->Privacy) : 0;
}

QString KivoWiFiFlow::getAPEncryptionText(int index)
{
    const ce::WZC_WLAN_CONFIG* ap = visibleAt(m_configWiFi, index);
    return ap ? encryptionTextForPrivacy(ap->Privacy) : QString();
}

QString KivoWiFiFlow::getAPAuthenticationText(int index)
{
    const ce::WZC_WLAN_CONFIG* ap = visibleAt(m_configWiFi, index);
    return ap ? authenticationTextForMode(ap->AuthenticationMode) : QString();
}

QString KivoWiFiFlow::getAPKeyIndexText(int index)
{
    const ce::WZC_WLAN_CONFIG* ap = visibleAt(m_configWiFi, index);
    return ap ? QStringLiteral("Key index ") + QString::number(ap->KeyIndex) : QString();
}

int KivoWiFiFlow::getAdapterInfo(bool* usable, QString* adapterName, QString* description, QString* dhcpServer,
    QString* ipAddress, QString* gateway, QString* subnetMask, QString* dhcpServer2)
{
    bool flag = false;
    int result = m_configWiFi.getIPInfo(
        &flag, adapterName, description, dhcpServer, ipAddress, gateway, subnetMask, dhcpServer2);
    if (usable)
        *usable = flag;
    return result;
}

// ---- the record in use and the portal verdict ---------------------------------

int KivoWiFiFlow::setSetting(const QString& key, const QString& value)
{
    QString* field = settingsField(m_WiFiSettings, key);
    if (!field)
        return RESULT_NO_SETTINGS;
    *field = value;
    return RESULT_OK;
}

WiFiSettings KivoWiFiFlow::savedSettings(int slot) const
{
    if (slot < 0 || slot >= SAVED_NETWORK_COUNT)
        return placeholderSettings();
    return m_savedSettings[size_t(slot)];
}

int KivoWiFiFlow::readLaunchBrowserStatus()
{
    std::optional<QString> value = readLaunchBrowser();
    if (!value)
        return RESULT_NO_SETTINGS;
    m_browserStatus.launchBrowser = *value;
    return RESULT_OK;
}

void KivoWiFiFlow::enableWiFi(bool on)
{
    m_configWiFi.enableWzcServer(on);
    notifyWiFiStatus(on ? KIVOWIFI_ENABLEND : KIVOWIFI_DISABLEND);
}

// ---- WiFiSettings.ini -----------------------------------------------------------

int KivoWiFiFlow::readWiFiSettings()
{
    std::string settingsPath = ce::resolvePath(kSettingsFile);
    std::string defaultsPath = ce::resolvePath(kDefaultSettingsFile);
    m_savedCursor = 0;
    if (settingsPath.empty() || defaultsPath.empty()) {
        m_savedReadResult = RESULT_NO_SETTINGS;
        return m_savedReadResult;
    }
    // Opened afresh on every read, so the records follow the files.
    delete m_wifiSettingsFile;
    delete m_wifiDefaultsFile;
    m_wifiSettingsFile = new QSettings(QString::fromStdString(settingsPath), QSettings::IniFormat, this);
    m_wifiDefaultsFile = new QSettings(QString::fromStdString(defaultsPath), QSettings::IniFormat, this);

    m_savedNetworksPresent = true;
    for (int slot = 0; slot < SAVED_NETWORK_COUNT; ++slot) {
        WiFiSettings record = readSlot(*m_wifiSettingsFile, slot);
        if (slot == 0 && (record.encryption.isEmpty() || record.encryption == QLatin1String(PLACEHOLDER_TEXT))) {
            m_savedNetworksPresent = false;
            writeLog(QStringLiteral("[In WifiFlow - readWiFiSettings()] WiFiSettings.ini doesn't exist!"));
        }
        if (record.encryption.isEmpty() || record.authentication.isEmpty()) {
            record = readSlot(*m_wifiDefaultsFile, slot);
            // Neither file knows the slot: it is empty.
            if (record.encryption.isEmpty() || record.authentication.isEmpty())
                record = placeholderSettings();
        }
        m_savedSettings[size_t(slot)] = record;
    }
    m_WiFiSettings = m_savedSettings[size_t(m_savedCursor)];
    m_savedReadResult = RESULT_OK;
    return m_savedReadResult;
}

void KivoWiFiFlow::saveWiFiSettings()
{
    if (!m_wifiSettingsFile)
        return;
    bool visible = false;
    for (int i = 0, n = getAPCount(); i < n && !visible; ++i)
        visible = getAPName(i) == m_WiFiSettings.network;
    m_WiFiSettings.userName = visible ? QStringLiteral("User") : QStringLiteral("Hidden");

    SavePlan plan = planSave(m_savedSettings, m_WiFiSettings);
    writeSlots(*m_wifiSettingsFile, plan.file);
    // The records held follow the file, so a second save before the next
    // read keeps the first.
    m_savedSettings = plan.file;
    if (plan.moved)
        writeLog(QStringLiteral("[In WifiFlow - saveWiFiSettings()] Update this ") + m_WiFiSettings.network
            + QStringLiteral("."));
    m_savedCursor = 0;
}

void KivoWiFiFlow::forgetWiFiSettings()
{
    if (!m_wifiSettingsFile)
        return;
    if (readWiFiSettings() != RESULT_OK || !m_wifiSettingsFile)
        return;
    m_savedSettings = slotsAfterForget(m_savedSettings, m_joiningName);
    writeSlots(*m_wifiSettingsFile, m_savedSettings);
    m_savedCursor = 0;

    for (int slot = 0; slot < SAVED_NETWORK_COUNT; ++slot) {
        QString name = readSlot(*m_wifiSettingsFile, slot).network;
        if (name != QLatin1String(PLACEHOLDER_TEXT)) {
            writeLog(QStringLiteral("[In WifiFlow - forgetWiFiSettings()] ") + name + QStringLiteral(" isn't defult."));
            m_savedNetworksPresent = true;
            return;
        }
    }
    m_savedNetworksPresent = false;
    writeLog(QStringLiteral("[In WifiFlow - forgetWiFiSettings()] All default settings."));
}

// ---- joining --------------------------------------------------------------------

int KivoWiFiFlow::joinNetwork()
{
    // The probe of an earlier connection must not judge this one.
    WiFiChechZk::requestStopActiveProbe();

    ce::DWORD privacy = privacyForEncryptionText(m_WiFiSettings.encryption);
    ce::DWORD mode = authenticationModeForText(m_WiFiSettings.authentication);
    int keyIndex = keyIndexFromText(m_WiFiSettings.keyIndex);
    QString ssid = m_WiFiSettings.network.left(kJoinTextLimit);
    QString key = joinKey(m_WiFiSettings.password).left(kJoinTextLimit);

    if (m_configWiFi.connectNetwork(m_window, 0, ssid, key, privacy, mode, keyIndex, false))
        return RESULT_OK;

    writeLog(QStringLiteral("[In WifiFlow - joinNetwork()] config error"));
    int found = -1;
    for (int i = 0, n = getAPCount(); i < n; ++i) {
        QString name = getAPName(i);
        if (name != ssid)
            continue;
        writeLog(QStringLiteral("[In WifiFlow - joinNetwork()] m_WiFiSetting_") + m_WiFiSettings.network
            + QStringLiteral(" = str_") + name);
        found = i;
    }
    if (found >= 0) {
        writeLog(QStringLiteral("[In WifiFlow - joinNetwork()] Do connect!!!"));
        connectWithKey(found, key);
    }
    return RESULT_JOIN_RETRIED;
}

int KivoWiFiFlow::connectWithKey(int index, const QString& key)
{
    WiFiChechZk::requestStopActiveProbe();
    m_configWiFi.connectVisibleNetwork(index, key.left(kVisibleKeyLimit), m_window, 0);
    setStatusGraceCount(2);
    return RESULT_OK;
}

// ---- KivoMap's keyboard ---------------------------------------------------------

int KivoWiFiFlow::requestExternalKeyboard(int target, int index, const QString& text, bool password)
{
    m_keyboardTarget = target;
    m_keyboardNetworkIndex = index;
    return IPCHelper::instance()->createKeyboard(password, text);
}

int KivoWiFiFlow::onKeyboardText(const QString& text)
{
    static const char* const kTargetKeys[]
        = { nullptr, nullptr, "Settings/Network", "Settings/User name", "Settings/Password" };
    switch (m_keyboardTarget) {
    case 0:
        if (!text.isEmpty() && m_keyboardNetworkIndex != -1) {
            connectWithKey(m_keyboardNetworkIndex, text);
            restartStatusTimer();
        }
        return RESULT_OK;
    case 1:
        return RESULT_OK;
    case 2:
    case 3:
    case 4:
        if (!text.isEmpty()) {
            setSetting(QLatin1String(kTargetKeys[m_keyboardTarget]), text);
            if (QWidget* join = existingView(JOIN_VIEW_ID); join && ops(JOIN_VIEW_ID).handOff)
                ops(JOIN_VIEW_ID).handOff(join, m_joinText, m_inputType, -1);
        }
        return RESULT_OK;
    default:
        return RESULT_BAD_KEYBOARD_TARGET;
    }
}

// ---- logs and device.xml --------------------------------------------------------

void KivoWiFiFlow::CurrentNetworkStatus()
{
    int index = -1;
    for (int i = 0, n = getAPCount(); i < n && index < 0; ++i)
        if (getAPName(i) == m_joiningName)
            index = i;
    QString signal = index >= 0 ? QString::number(getAPSignalStrength(index)) : QStringLiteral("none");
    writeLog(QStringLiteral("[In WifiFlow - CurrentNetworkStatus()] ") + m_joiningName
        + (isConnectStatus() ? QStringLiteral(" is connected") : QStringLiteral(" isn't connected"))
        + QStringLiteral(", signal strength: ") + signal);
}

void KivoWiFiFlow::readDeviceXml()
{
    QString content;
    QFile file(QString::fromStdString(ce::resolvePath(kDeviceXml)));
    if (file.open(QIODevice::ReadOnly))
        content = QString::fromUtf8(file.read(kDeviceXmlLimit));
    writeLog(QStringLiteral("XMLContent : ") + content);
    m_brandName = brandFromDeviceXml(content);
    writeLog(QStringLiteral("BrandName : ") + m_brandName);
    m_registerDeviceText = brandedServiceText(
        QObject::tr("Please register your\n device in KivoShare\n before using WIFI\n Sync."), m_brandName);
    m_lastSyncedText = brandedServiceText(QObject::tr("Your device has synced\nwith KivoShare at %1"), m_brandName);
}
