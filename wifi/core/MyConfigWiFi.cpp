#include "wifi/core/MyConfigWiFi.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/loader.h"
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wzc/iphlpapi.h"
#include "wifi/core/wireless_rules.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

std::atomic<double> g_delayScale { 1.0 };

constexpr ce::DWORD kStopJoinMs = 5000;
constexpr int kAdapterAttempts = 60;
constexpr int kAddressRetries = 5;
constexpr ce::DWORD kOneSecond = 1000;
constexpr ce::DWORD kAfterEventMs = 50;
// The event queue that cannot be made (a full device root) is tried again
// this often.
constexpr ce::DWORD kQueueRetryMs = 1000;
constexpr ce::DWORD kFirstAdapterBuffer = 640;
// A reply asking for more than this is not believed.
constexpr ce::DWORD kMaxAdapterBuffer = 1u << 20;
constexpr int kMaxInterfaceName = 260;
constexpr int kMaxKeyChars = 255;
// One join gets one notification: its window has long read the text when
// this many later notifications have been posted.
constexpr size_t kKeptNotifyTexts = 16;

const char* const kLogFolder = "/SystemDrive/Falmo/program/wifi/Log";
const char* const kLogFile = "MyConfigWiFiLog.txt";
constexpr qint64 kMaxLogBytes = 0x200000;

QString text8(const char* s, size_t max)
{
    return QString::fromLocal8Bit(s, int(strnlen(s, max)));
}

} // namespace

CMyConfigWiFi::CMyConfigWiFi()
{
    setObjectName(QStringLiteral("CMyConfigWiFi"));
    switchRadio(true);
}

CMyConfigWiFi::~CMyConfigWiFi()
{
    stopWzc();
    if (isRunning()) {
        // QThread must not be destroyed while running: wait without bound
        // after the bounded wait was logged.
        wait();
    }
    if (m_stopEvent)
        ce::closeHandle(m_stopEvent);
    m_visible.clear();
    freeLibrary();
}

// ---- library -------------------------------------------------------------------

bool CMyConfigWiFi::loadLibrary()
{
    freeLibrary();
    m_library = ce::loadLibrary("wzcsapi.dll");
    if (!m_library) {
        writeLog(QStringLiteral("[In MyConfigWiFi - loadLibrary()] wzcsapi.dll not found"));
        return false;
    }
    auto resolve = [this](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(ce::getProcAddress(m_library, name));
        if (!fn && std::strcmp(name, "WZCQueryContext") != 0)
            writeLog(QStringLiteral("[In MyConfigWiFi - loadLibrary()] missing ") + QLatin1String(name));
    };
    resolve(m_WZCDeleteIntfObj, "WZCDeleteIntfObj");
    resolve(m_WZCDeleteIntfObjEx, "WZCDeleteIntfObjEx");
    resolve(m_WZCEnumInterfaces, "WZCEnumInterfaces");
    resolve(m_WZCPassword2Key, "WZCPassword2Key");
    resolve(m_WZCQueryContext, "WZCQueryContext");
    resolve(m_WZCQueryInterface, "WZCQueryInterface");
    resolve(m_WZCQueryInterfaceEx, "WZCQueryInterfaceEx");
    resolve(m_WZCRefreshInterface, "WZCRefreshInterface");
    resolve(m_WZCRefreshInterfaceEx, "WZCRefreshInterfaceEx");
    resolve(m_WZCSetContext, "WZCSetContext");
    resolve(m_WZCSetInterface, "WZCSetInterface");
    resolve(m_WZCSetInterfaceEx, "WZCSetInterfaceEx");
    bool complete = m_WZCDeleteIntfObj && m_WZCDeleteIntfObjEx && m_WZCEnumInterfaces && m_WZCPassword2Key
        && m_WZCQueryInterface && m_WZCQueryInterfaceEx && m_WZCRefreshInterface && m_WZCRefreshInterfaceEx
        && m_WZCSetContext && m_WZCSetInterface && m_WZCSetInterfaceEx;
    if (!complete) {
        freeLibrary();
        return false;
    }
    return true;
}

void CMyConfigWiFi::freeLibrary()
{
    m_WZCDeleteIntfObj = nullptr;
    m_WZCDeleteIntfObjEx = nullptr;
    m_WZCEnumInterfaces = nullptr;
    m_WZCPassword2Key = nullptr;
    m_WZCQueryContext = nullptr;
    m_WZCQueryInterface = nullptr;
    m_WZCQueryInterfaceEx = nullptr;
    m_WZCRefreshInterface = nullptr;
    m_WZCRefreshInterfaceEx = nullptr;
    m_WZCSetContext = nullptr;
    m_WZCSetInterface = nullptr;
    m_WZCSetInterfaceEx = nullptr;
    if (m_library) {
        ce::freeLibrary(m_library);
        m_library = nullptr;
    }
}

bool CMyConfigWiFi::usable() const
{
    return m_library && !interfaceName().isEmpty();
}

ce::DWORD CMyConfigWiFi::unusableError() const
{
    return m_library ? ce::ERROR_DEV_NOT_EXIST : ce::ERROR_MOD_NOT_FOUND;
}

QString CMyConfigWiFi::interfaceName() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return QString::fromUtf16(m_interfaceName.data(), int(m_interfaceName.size()));
}

// ---- radio ------------------------------------------------------------------------

void CMyConfigWiFi::switchRadio(bool on)
{
    ce::HANDLE dev = ce::openDevice(ce::WZC_RADIO_DEVICE, ce::GENERIC_READ | ce::GENERIC_WRITE);
    if (dev == ce::INVALID_HANDLE_VALUE || !dev)
        return;
    ce::DWORD value = on ? 1 : 0;
    ce::DWORD returned = 0;
    ce::deviceIoControl(
        dev, on ? ce::IOCTL_WIFI_POWER_ON : ce::IOCTL_WIFI_POWER_OFF, &value, sizeof value, nullptr, 0, &returned);
    ce::closeHandle(dev);
}

// ---- start, stop, adapter -------------------------------------------------------

bool CMyConfigWiFi::startWzc()
{
    if (!m_started) {
        m_started = true;
        loadLibrary();
        if (!m_stopEvent)
            m_stopEvent = ce::createEvent(true, false);
        else
            ce::resetEvent(m_stopEvent);
        start();
    }
    return findAdapter();
}

bool CMyConfigWiFi::stopWzc()
{
    if (m_stopEvent)
        ce::setEvent(m_stopEvent);
    if (!isRunning())
        return true;
    if (wait(kStopJoinMs))
        return true;
    ce::debugOutput("CMyConfigWiFi: the event thread did not end within 5000 ms");
    return false;
}

bool CMyConfigWiFi::findAdapter()
{
    if (!m_library)
        return false;
    for (int attempt = 0; attempt < kAdapterAttempts; ++attempt) {
        ce::INTFS_KEY_TABLE table {};
        if (m_WZCEnumInterfaces(nullptr, &table) != ce::ERROR_SUCCESS)
            return false;
        bool found = false;
        if (table.dwNumIntfs > 0 && table.pIntfs && table.pIntfs[0].wszGuid) {
            const char16_t* guid = table.pIntfs[0].wszGuid;
            std::u16string name;
            for (int i = 0; i < kMaxInterfaceName && guid[i]; ++i)
                name += guid[i];
            std::lock_guard<std::mutex> lock(m_mutex);
            m_interfaceName = name;
            found = !name.empty();
        }
        if (table.pIntfs) {
            for (ce::DWORD i = 0; i < table.dwNumIntfs; ++i)
                ce::wzcFreeMemory(table.pIntfs[i].wszGuid);
            ce::wzcFreeMemory(table.pIntfs);
        }
        if (found)
            return true;
        if (attempt + 1 < kAdapterAttempts)
            ce::sleep(scaled(kOneSecond));
    }
    return false;
}

// ---- queries ------------------------------------------------------------------------

ce::INTF_ENTRY_EX CMyConfigWiFi::adapterEntry() const
{
    ce::INTF_ENTRY_EX entry {};
    // The key is ours and outlives the call; the service never frees it.
    entry.wszGuid = const_cast<char16_t*>(m_interfaceName.c_str());
    return entry;
}

ce::DWORD CMyConfigWiFi::queryInterface(ce::DWORD flags, ce::INTF_ENTRY_EX* entry, ce::DWORD* outFlags)
{
    *outFlags = 0;
    if (!usable()) {
        std::memset(entry, 0, sizeof *entry);
        return unusableError();
    }
    *entry = adapterEntry();
    ce::DWORD r = m_WZCQueryInterfaceEx(nullptr, flags, entry, outFlags);
    if (r != ce::ERROR_SUCCESS)
        releaseInterface(entry);
    return r;
}

void CMyConfigWiFi::releaseInterface(ce::INTF_ENTRY_EX* entry)
{
    char16_t* guid = entry->wszGuid;
    if (m_WZCDeleteIntfObjEx)
        m_WZCDeleteIntfObjEx(entry);
    std::memset(entry, 0, sizeof *entry);
    entry->wszGuid = guid;
}

bool CMyConfigWiFi::IsEnableWzcServer()
{
    ce::INTF_ENTRY_EX entry;
    ce::DWORD out = 0;
    if (queryInterface(ce::WZC_FIELD_CONTROL_FLAGS, &entry, &out) != ce::ERROR_SUCCESS)
        return false;
    bool on = (out & ce::WZC_FIELD_CONTROL_FLAGS) && (entry.dwCtlFlags & ce::WZC_CTL_ENABLED);
    releaseInterface(&entry);
    return on;
}

ce::DWORD CMyConfigWiFi::enableWzcServer(bool on)
{
    if (!usable())
        return unusableError();
    ce::INTF_ENTRY_EX entry = adapterEntry();
    entry.dwCtlFlags = on ? ce::WZC_CTL_ENABLED : 0;
    ce::DWORD out = 0;
    return m_WZCSetInterfaceEx(nullptr, ce::WZC_FIELD_CONTROL_FLAGS, &entry, &out);
}

ce::DWORD CMyConfigWiFi::refreshInterface()
{
    if (!usable())
        return unusableError();
    ce::INTF_ENTRY_EX entry = adapterEntry();
    ce::DWORD out = 0;
    return m_WZCRefreshInterfaceEx(nullptr, ce::WZC_FIELD_ALL, &entry, &out);
}

ce::DWORD CMyConfigWiFi::refreshVisibleList()
{
    ce::INTF_ENTRY_EX entry;
    ce::DWORD out = 0;
    ce::DWORD r = queryInterface(ce::WZC_FIELD_ALL, &entry, &out);
    if (r != ce::ERROR_SUCCESS)
        return r;
    const ce::WZC_WLAN_CONFIG* records = nullptr;
    ce::DWORD count = 0, index = 0;
    bool truncated = false;
    if (kivo::wireless::readConfigList(entry.rdBSSIDList, &records, &count, &index, &truncated) && count > 0) {
        if (truncated)
            writeLog(QStringLiteral("[In MyConfigWiFi - refreshVisibleList()] visible list shorter than its count"));
        std::vector<ce::WZC_WLAN_CONFIG> list;
        list.reserve(count);
        for (ce::DWORD i = 0; i < count; ++i) {
            ce::WZC_WLAN_CONFIG rec;
            std::memcpy(&rec, &records[i], sizeof rec);
            kivo::wireless::addVisibleNetwork(list, rec);
        }
        kivo::wireless::sortVisibleNetworks(list);
        m_visible.swap(list);
    }
    releaseInterface(&entry);
    return r;
}

const ce::WZC_WLAN_CONFIG* CMyConfigWiFi::visibleList() const
{
    return m_visible.empty() ? nullptr : m_visible.data();
}

int CMyConfigWiFi::visibleCount() const
{
    return int(m_visible.size());
}

bool CMyConfigWiFi::isSameNetwork(const ce::WZC_WLAN_CONFIG& a, const ce::WZC_WLAN_CONFIG& b)
{
    return kivo::wireless::isSameNetwork(a, b);
}

int CMyConfigWiFi::indexOfVisible(const ce::WZC_WLAN_CONFIG& record) const
{
    for (size_t i = 0; i < m_visible.size(); ++i)
        if (isSameNetwork(m_visible[i], record))
            return int(i);
    return -1;
}

bool CMyConfigWiFi::firstPreferredNetwork(ce::WZC_WLAN_CONFIG* out)
{
    ce::INTF_ENTRY_EX entry;
    ce::DWORD flags = 0;
    if (!out || queryInterface(ce::WZC_FIELD_PREFERRED_LIST, &entry, &flags) != ce::ERROR_SUCCESS)
        return false;
    const ce::WZC_WLAN_CONFIG* records = nullptr;
    ce::DWORD count = 0, index = 0;
    bool truncated = false;
    bool ok = kivo::wireless::readConfigList(entry.rdStSSIDList, &records, &count, &index, &truncated) && count > 0;
    if (ok) {
        std::memcpy(out, &records[0], sizeof *out);
        out->EapolParams.dwAuthDataLen = 0;
        out->EapolParams.pbAuthData = nullptr;
    }
    releaseInterface(&entry);
    return ok;
}

bool CMyConfigWiFi::isAssociated()
{
    ce::INTF_ENTRY_EX entry;
    ce::DWORD flags = 0;
    if (queryInterface(ce::WZC_FIELD_BSSID, &entry, &flags) != ce::ERROR_SUCCESS)
        return false;
    bool associated = false;
    if ((flags & ce::WZC_FIELD_BSSID) && entry.rdBSSID.pData && entry.rdBSSID.dwDataLen >= 6) {
        for (int i = 0; i < 6; ++i)
            associated = associated || entry.rdBSSID.pData[i] != 0;
    }
    releaseInterface(&entry);
    return associated;
}

QString CMyConfigWiFi::associatedSsid()
{
    ce::INTF_ENTRY_EX entry;
    ce::DWORD flags = 0;
    if (queryInterface(ce::WZC_FIELD_SSID | ce::WZC_FIELD_BSSID, &entry, &flags) != ce::ERROR_SUCCESS)
        return QString();
    QString ssid;
    bool associated = false;
    if ((flags & ce::WZC_FIELD_BSSID) && entry.rdBSSID.pData && entry.rdBSSID.dwDataLen >= 6)
        for (int i = 0; i < 6; ++i)
            associated = associated || entry.rdBSSID.pData[i] != 0;
    if (associated && (flags & ce::WZC_FIELD_SSID) && entry.rdSSID.pData) {
        // An SSID is at most 32 bytes, whatever length the reply claims.
        const ce::DWORD n = std::min<ce::DWORD>(entry.rdSSID.dwDataLen, sizeof(ce::NDIS_802_11_SSID::Ssid));
        ssid = QString::fromLatin1(reinterpret_cast<const char*>(entry.rdSSID.pData), int(n));
    }
    releaseInterface(&entry);
    return ssid;
}

int CMyConfigWiFi::getIPInfo(bool* usableFlag, QString* adapterName, QString* description, QString* dhcpServer,
    QString* ipAddress, QString* gateway, QString* subnetMask, QString* dhcpServer2)
{
    if (usableFlag)
        *usableFlag = false;
    QString name, descr, ip, gw, mask, dhcp;
    const QString wanted = interfaceName();
    bool found = false;
    if (m_library && !wanted.isEmpty()) {
        ce::DWORD capacity = kFirstAdapterBuffer;
        ce::DWORD size = capacity;
        std::unique_ptr<ce::BYTE[]> buffer(new ce::BYTE[capacity]());
        ce::DWORD r = ce::GetAdaptersInfo(reinterpret_cast<ce::IP_ADAPTER_INFO*>(buffer.get()), &size);
        if (r != ce::ERROR_SUCCESS && size > capacity && size <= kMaxAdapterBuffer) {
            capacity = size;
            buffer.reset(new ce::BYTE[capacity]());
            r = ce::GetAdaptersInfo(reinterpret_cast<ce::IP_ADAPTER_INFO*>(buffer.get()), &size);
        }
        if (r == ce::ERROR_SUCCESS) {
            const ce::BYTE* begin = buffer.get();
            const ce::BYTE* end = begin + capacity;
            // Only records inside the buffer, and a bounded walk, in case a
            // chain is broken or loops.
            auto inside = [&](const ce::IP_ADAPTER_INFO* p) {
                auto* b = reinterpret_cast<const ce::BYTE*>(p);
                return b >= begin && b + sizeof(ce::IP_ADAPTER_INFO) <= end;
            };
            const auto* a = reinterpret_cast<const ce::IP_ADAPTER_INFO*>(begin);
            for (int guard = 0; a && inside(a) && guard < 256; a = a->Next, ++guard) {
                if (text8(a->AdapterName, sizeof a->AdapterName) != wanted)
                    continue;
                found = true;
                name = wanted;
                descr = text8(a->Description, sizeof a->Description);
                ip = text8(a->IpAddressList.IpAddress, sizeof a->IpAddressList.IpAddress);
                mask = text8(a->IpAddressList.IpMask, sizeof a->IpAddressList.IpMask);
                gw = text8(a->GatewayList.IpAddress, sizeof a->GatewayList.IpAddress);
                if (a->DhcpEnabled)
                    dhcp = text8(a->DhcpServer.IpAddress, sizeof a->DhcpServer.IpAddress);
                break;
            }
        }
    }
    if (found && usableFlag)
        *usableFlag = isUsableAddress(ip);
    if (adapterName)
        *adapterName = name;
    if (description)
        *description = descr;
    if (dhcpServer)
        *dhcpServer = dhcp;
    if (ipAddress)
        *ipAddress = ip;
    if (gateway)
        *gateway = gw;
    if (subnetMask)
        *subnetMask = mask;
    if (dhcpServer2)
        *dhcpServer2 = dhcp;
    return 0;
}

bool CMyConfigWiFi::isConnected()
{
    if (!isAssociated())
        return false;
    bool ok = false;
    getIPInfo(&ok);
    return ok;
}

// ---- keys and the preferred list ---------------------------------------------------

bool CMyConfigWiFi::setKeyMaterial(ce::WZC_WLAN_CONFIG* record, const QString& key, int keyIndex, bool* autoFlag)
{
    if (!record)
        return false;
    return kivo::wireless::setKeyMaterial(record, key, keyIndex, autoFlag, m_WZCPassword2Key);
}

ce::DWORD CMyConfigWiFi::clearPreferredList()
{
    if (!usable())
        return unusableError();
    ce::INTF_ENTRY_EX entry = adapterEntry();
    ce::BYTE empty[ce::WZC_CONFIG_LIST_HEADER] = {};
    entry.rdStSSIDList.dwDataLen = sizeof empty;
    entry.rdStSSIDList.pData = empty;
    ce::DWORD out = 0;
    return m_WZCSetInterfaceEx(nullptr, ce::WZC_FIELD_PREFERRED_LIST, &entry, &out);
}

ce::DWORD CMyConfigWiFi::AddToPreferredNetworkList(const ce::WZC_WLAN_CONFIG& record)
{
    const QString ssid = kivo::wireless::ssidText(record);
    const QString tag = QStringLiteral("[In MyConfigWiFi - AddToPreferredNetworkList()]");
    writeLog(tag + QStringLiteral(" ") + ssid);
    ce::INTF_ENTRY_EX entry;
    ce::DWORD out = 0;
    ce::DWORD r = queryInterface(ce::WZC_FIELD_ALL, &entry, &out);
    if (r != ce::ERROR_SUCCESS)
        return r;
    const ce::WZC_WLAN_CONFIG* records = nullptr;
    ce::DWORD count = 0, index = 0;
    bool truncated = false;
    bool hasList = kivo::wireless::readConfigList(entry.rdStSSIDList, &records, &count, &index, &truncated);
    if (truncated)
        writeLog(tag + QStringLiteral("preferred list shorter than its count | ") + ssid);
    kivo::wireless::PreferredMove move;
    std::vector<ce::BYTE> list = kivo::wireless::buildPreferredList(hasList, records, count, index, record, &move);
    switch (move) {
    case kivo::wireless::PreferredMove::NewList:
        writeLog(tag + QStringLiteral("!pConfigList | ") + ssid);
        break;
    case kivo::wireless::PreferredMove::MovedToTop:
        writeLog(tag + QStringLiteral("already in the [Preferred Networks] list,make it to top | ") + ssid);
        break;
    case kivo::wireless::PreferredMove::Added:
        writeLog(tag + QStringLiteral("not in the [Preferred Networks] list | ") + ssid);
        if (count > 0)
            writeLog(tag + QStringLiteral("pConfigList->NumberOfItems | ") + ssid);
        break;
    }
    writeLog(tag + QStringLiteral(" FINISH!!! | ") + ssid);
    // Hand our list in place of the reply's, then give the reply's back for release.
    ce::RAW_DATA replyList = entry.rdStSSIDList;
    entry.rdStSSIDList.dwDataLen = ce::DWORD(list.size());
    entry.rdStSSIDList.pData = list.data();
    r = m_WZCSetInterfaceEx(nullptr, ce::WZC_FIELD_SET_PREFERRED, &entry, &out);
    entry.rdStSSIDList = replyList;
    releaseInterface(&entry);
    return r;
}

void CMyConfigWiFi::setJoinTarget(ce::HWND window, ce::UINT message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_joinWindow = window;
    m_joinMessage = message;
}

bool CMyConfigWiFi::connectNetwork(ce::HWND window, ce::UINT message, const QString& ssid, const QString& key,
    ce::DWORD privacy, ce::DWORD authenticationMode, int keyIndex, bool adHoc)
{
    setJoinTarget(window, message);
    ce::WZC_WLAN_CONFIG record {};
    record.Length = sizeof record;
    const int n = std::min(ssid.size(), 32);
    record.Ssid.SsidLength = ce::DWORD(n);
    for (int i = 0; i < n; ++i)
        record.Ssid.Ssid[i] = ce::BYTE(ssid[i].unicode() & 0xFF);
    record.InfrastructureMode = adHoc ? ce::NDIS_INFRA_ADHOC : ce::NDIS_INFRA_INFRASTRUCTURE;
    record.Privacy = privacy;
    record.AuthenticationMode = authenticationMode;
    bool autoFlag = false;
    bool ok = key.isEmpty() ? setKeyMaterial(&record, QString(), 0, &autoFlag)
                            : setKeyMaterial(&record, key.left(kMaxKeyChars), keyIndex, &autoFlag);
    if (!usable())
        return false;
    clearPreferredList();
    AddToPreferredNetworkList(record);
    return ok;
}

bool CMyConfigWiFi::connectVisibleNetwork(int index, const QString& key, ce::HWND window, ce::UINT message)
{
    if (index < 0 || index >= int(m_visible.size()))
        return false;
    setJoinTarget(window, message);
    const ce::WZC_WLAN_CONFIG& visible = m_visible[size_t(index)];
    ce::WZC_WLAN_CONFIG record {};
    record.Length = sizeof record;
    record.dwCtlFlags = 0;
    record.Ssid = visible.Ssid;
    record.InfrastructureMode = visible.InfrastructureMode;
    record.AuthenticationMode = visible.AuthenticationMode;
    record.Privacy = visible.Privacy;
    const QString text = key.isEmpty() ? QStringLiteral("auto") : key.left(kMaxKeyChars);
    bool autoFlag = false;
    bool ok = setKeyMaterial(&record, text, int(visible.KeyIndex), &autoFlag);
    if (autoFlag) {
        // The scalar 802.1X settings only: auth data of a scan result pointed
        // into a reply that is gone.
        record.EapolParams.bEnable8021x = visible.EapolParams.bEnable8021x;
        record.EapolParams.dwEapFlags = visible.EapolParams.dwEapFlags;
        record.EapolParams.dwEapType = visible.EapolParams.dwEapType;
        record.EapolParams.dwAuthDataLen = 0;
        record.EapolParams.pbAuthData = nullptr;
    }
    clearPreferredList();
    AddToPreferredNetworkList(record);
    return ok;
}

// ---- event thread ---------------------------------------------------------------------

ce::DWORD CMyConfigWiFi::scaled(ce::DWORD ms)
{
    return ce::DWORD(std::lround(ms * g_delayScale.load()));
}

void CMyConfigWiFi::setDelayScaleForTests(double scale)
{
    g_delayScale = scale < 0 ? 0 : scale;
}

bool CMyConfigWiFi::waitForStop(ce::DWORD ms)
{
    return ce::waitForSingleObject(m_stopEvent, ms) == ce::WAIT_OBJECT_0;
}

void CMyConfigWiFi::run()
{
    ce::MSGQUEUEOPTIONS options {};
    options.dwSize = sizeof options;
    options.dwFlags = ce::MSGQUEUE_ALLOW_BROKEN;
    options.dwMaxMessages = ce::WZC_EVENT_QUEUE_MAX_MESSAGES;
    options.cbMaxMessage = sizeof(ce::WZC_EVENT_MESSAGE);
    options.bReadAccess = 1;
    // Without its queue the thread hears no events at all: on a full device
    // root, say, it tries again every second until there is room, saying so
    // once when it starts failing and once when it works again.
    ce::HANDLE queue = ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &options);
    if (!queue) {
        ce::debugOutput("CreateMsgQueue failed!\n");
        do {
            if (waitForStop(kQueueRetryMs))
                return;
            queue = ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &options);
        } while (!queue);
        ce::debugOutput("CreateMsgQueue succeeded after all\n");
    }

    // Reads one message; false when none is waiting. A message of the wrong
    // size is dropped with a log line.
    auto readOne = [&](ce::WZC_EVENT_MESSAGE* msg, ce::DWORD timeoutMs, bool* valid) {
        QString dropped;
        const bool read = kivo::wireless::readEventMessage(queue, msg, timeoutMs, valid, &dropped);
        if (!dropped.isEmpty())
            writeLog(dropped);
        return read;
    };

    ce::WZC_EVENT_MESSAGE message;
    ce::WZC_EVENT_MESSAGE last {};
    bool valid = false;
    while (readOne(&message, 1, &valid)) {
        if (valid)
            last = message;
        if (waitForStop(0))
            break;
    }
    if (last.dwEventCode != 0 && !waitForStop(0))
        handleEvent(last);

    bool stop = false;
    while (!stop) {
        ce::HANDLE handles[2] = { m_stopEvent, queue };
        ce::DWORD w = ce::waitForMultipleObjects(2, handles, false, ce::INFINITE);
        if (w != ce::WAIT_OBJECT_0 + 1)
            break;
        while (readOne(&message, 0, &valid)) {
            if (valid)
                handleEvent(message);
            if (waitForStop(scaled(kAfterEventMs))) {
                stop = true;
                break;
            }
        }
    }
    ce::closeMsgQueue(queue);
}

void CMyConfigWiFi::handleEvent(const ce::WZC_EVENT_MESSAGE& message)
{
    m_eventSsid = kivo::wireless::eventSsid(message).toStdU16String();
    const ce::DWORD code = message.dwEventCode;
    emit PostWZCMessage(eventName(code));
    switch (code) {
    case ce::WZC_EVENT_FAILED_ASSOCIATION:
    case ce::WZC_EVENT_ASSOCIATION_TIMEOUT:
    case ce::WZC_EVENT_ASSOCIATION_LOST:
        notifyJoin(0);
        break;
    case ce::WZC_EVENT_SUCCESSFUL_ASSOCIATION:
    case ce::WZC_EVENT_CONFIGURED: {
        bool ok = false;
        getIPInfo(&ok);
        for (int i = 0; i < kAddressRetries && !ok; ++i) {
            if (waitForStop(scaled(kOneSecond)))
                return;
            getIPInfo(&ok);
        }
        notifyJoin(ok ? 1 : 0);
        break;
    }
    default:
        break;
    }
}

void CMyConfigWiFi::notifyJoin(ce::WPARAM wParam)
{
    ce::HWND window;
    ce::UINT message;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        window = m_joinWindow;
        message = m_joinMessage;
        m_joinWindow = nullptr;
        m_joinMessage = 0;
    }
    if (!window)
        return;
    // A deque keeps its other elements in place on both ends.
    m_notifiedSsids.push_back(m_eventSsid);
    while (m_notifiedSsids.size() > kKeptNotifyTexts)
        m_notifiedSsids.pop_front();
    ce::postMessage(window, message, wParam, reinterpret_cast<ce::LPARAM>(m_notifiedSsids.back().c_str()));
}

// ---- helpers ------------------------------------------------------------------------------

QString CMyConfigWiFi::eventName(ce::DWORD code)
{
    return kivo::wireless::eventName(code);
}

bool CMyConfigWiFi::isUsableAddress(const QString& address)
{
    return kivo::wireless::isUsableAddress(address);
}

void CMyConfigWiFi::writeLog(const QString& message)
{
    if (!m_logEnabled)
        return;
    std::lock_guard<std::mutex> lock(m_logMutex);
    const std::string resolved = ce::resolvePath(std::string(kLogFolder) + "/" + kLogFile, true);
    if (resolved.empty())
        return;
    const QString path = QString::fromStdString(resolved);
    QFileInfo info(path);
    if (!info.dir().exists())
        return;
    if (info.exists() && info.size() > kMaxLogBytes)
        QFile::remove(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QString line = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" - ")
        + QTime::currentTime().toString(Qt::TextDate) + QStringLiteral(" - ") + message + QStringLiteral("\r\n");
    file.write(line.toUtf8());
}
