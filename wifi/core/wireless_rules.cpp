#include "wifi/core/wireless_rules.h"

#include "platform/debug.h"
#include "platform/msgqueue.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace kivo::wireless {

namespace {

size_t ssidBytes(const ce::WZC_WLAN_CONFIG& r)
{
    const void* nul = std::memchr(r.Ssid.Ssid, 0, sizeof r.Ssid.Ssid);
    return nul ? size_t(static_cast<const ce::BYTE*>(nul) - r.Ssid.Ssid) : sizeof r.Ssid.Ssid;
}

ce::DWORD ssidLength(const ce::WZC_WLAN_CONFIG& r)
{
    return std::min<ce::DWORD>(r.Ssid.SsidLength, sizeof r.Ssid.Ssid);
}

int hexValue(QChar c)
{
    ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool allHex(const QString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return hexValue(c) >= 0; });
}

void hexToBytes(const QString& s, ce::BYTE* out)
{
    for (int i = 0; i + 1 < s.size(); i += 2)
        out[i / 2] = ce::BYTE(hexValue(s[i]) << 4 | hexValue(s[i + 1]));
}

void set8021x(ce::WZC_WLAN_CONFIG* r)
{
    r->EapolParams.bEnable8021x = 1;
    r->EapolParams.dwEapFlags = ce::WZC_EAP_FLAG_ENABLED;
    r->EapolParams.dwEapType = ce::WZC_EAP_TYPE_TLS;
    r->WPAMCastCipher = ce::NDIS_ENCRYPTION2_ENABLED;
}

bool isWpaPersonal(const ce::WZC_WLAN_CONFIG& r)
{
    return r.AuthenticationMode == ce::NDIS_AUTH_WPAPSK || r.AuthenticationMode == ce::NDIS_AUTH_WPA2PSK
        || (r.AuthenticationMode == ce::NDIS_AUTH_WPANONE && r.Privacy == ce::NDIS_PRIVACY_TKIP_ENABLED)
        || r.Privacy == ce::NDIS_PRIVACY_AES_ENABLED;
}

} // namespace

int compareSsid(const ce::WZC_WLAN_CONFIG& a, const ce::WZC_WLAN_CONFIG& b)
{
    size_t la = ssidBytes(a), lb = ssidBytes(b);
    int c = std::memcmp(a.Ssid.Ssid, b.Ssid.Ssid, std::min(la, lb));
    if (c != 0)
        return c < 0 ? -1 : 1;
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

bool isHiddenSsid(const ce::WZC_WLAN_CONFIG& r)
{
    ce::DWORD n = ssidLength(r);
    return std::all_of(r.Ssid.Ssid, r.Ssid.Ssid + n, [](ce::BYTE b) { return b == 0x00 || b == 0x20; });
}

QString ssidText(const ce::WZC_WLAN_CONFIG& r)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(r.Ssid.Ssid), int(ssidLength(r)));
}

void addVisibleNetwork(std::vector<ce::WZC_WLAN_CONFIG>& list, const ce::WZC_WLAN_CONFIG& record)
{
    if (isHiddenSsid(record))
        return;
    // The reply this record came from is released soon: keep no pointer into it.
    ce::WZC_WLAN_CONFIG copy = record;
    copy.EapolParams.dwAuthDataLen = 0;
    copy.EapolParams.pbAuthData = nullptr;
    for (auto& kept : list) {
        if (compareSsid(kept, copy) == 0) {
            if (kept.Rssi > copy.Rssi)
                kept = copy;
            return;
        }
    }
    list.push_back(copy);
}

void sortVisibleNetworks(std::vector<ce::WZC_WLAN_CONFIG>& list)
{
    for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size(); ++j)
            if (compareSsid(list[j], list[i]) < 0)
                std::swap(list[i], list[j]);
}

bool readConfigList(
    const ce::RAW_DATA& data, const ce::WZC_WLAN_CONFIG** records, ce::DWORD* count, ce::DWORD* index, bool* truncated)
{
    *records = nullptr;
    *count = 0;
    *index = 0;
    *truncated = false;
    if (!data.pData || data.dwDataLen < ce::WZC_CONFIG_LIST_HEADER)
        return false;
    ce::DWORD n = 0, idx = 0;
    std::memcpy(&n, data.pData, 4);
    std::memcpy(&idx, data.pData + 4, 4);
    ce::DWORD fits = (data.dwDataLen - ce::WZC_CONFIG_LIST_HEADER) / ce::DWORD(sizeof(ce::WZC_WLAN_CONFIG));
    if (n > fits) {
        *truncated = true;
        n = fits;
    }
    *records = reinterpret_cast<const ce::WZC_WLAN_CONFIG*>(data.pData + ce::WZC_CONFIG_LIST_HEADER);
    *count = n;
    *index = idx;
    return true;
}

std::vector<ce::BYTE> buildPreferredList(bool hasList, const ce::WZC_WLAN_CONFIG* old, ce::DWORD count, ce::DWORD index,
    const ce::WZC_WLAN_CONFIG& record, PreferredMove* move)
{
    std::vector<ce::WZC_WLAN_CONFIG> items;
    ce::DWORD newIndex = 0;
    if (!hasList || !old) {
        count = 0;
    }
    long found = -1;
    for (ce::DWORD k = 0; k < count; ++k) {
        if (isSameNetwork(old[k], record)) {
            found = long(k);
            break;
        }
    }
    items.push_back(record);
    if (!hasList) {
        *move = PreferredMove::NewList;
    } else if (found >= 0) {
        *move = PreferredMove::MovedToTop;
        newIndex = index;
        for (ce::DWORD k = 0; k < count; ++k)
            if (long(k) != found)
                items.push_back(old[k]);
    } else {
        *move = PreferredMove::Added;
        newIndex = count > 0 ? index : 0;
        items.insert(items.end(), old, old + count);
    }
    std::vector<ce::BYTE> out(ce::wzcConfigListSize(ce::DWORD(items.size())));
    ce::DWORD n = ce::DWORD(items.size());
    std::memcpy(out.data(), &n, 4);
    std::memcpy(out.data() + 4, &newIndex, 4);
    std::memcpy(out.data() + ce::WZC_CONFIG_LIST_HEADER, items.data(), items.size() * sizeof(ce::WZC_WLAN_CONFIG));
    return out;
}

bool isSameNetwork(const ce::WZC_WLAN_CONFIG& a, const ce::WZC_WLAN_CONFIG& b)
{
    if (a.InfrastructureMode != b.InfrastructureMode)
        return false;
    if (a.Ssid.SsidLength == 0 && b.Ssid.SsidLength == 0)
        return true;
    return a.Ssid.SsidLength == b.Ssid.SsidLength && std::memcmp(a.Ssid.Ssid, b.Ssid.Ssid, ssidLength(a)) == 0
        && a.Privacy == b.Privacy && a.AuthenticationMode == b.AuthenticationMode;
}

bool setKeyMaterial(
    ce::WZC_WLAN_CONFIG* r, const QString& key, int keyIndex, bool* autoFlag, ce::PFN_WZCPassword2Key password2Key)
{
    const bool isAuto = key.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0;
    const int len = key.size();
    if (r->Privacy == ce::NDIS_PRIVACY_WEP_ENABLED) {
        if (isAuto) {
            if (autoFlag)
                *autoFlag = true;
            return true;
        }
        r->KeyIndex = (keyIndex >= 1 && keyIndex <= 4) ? ce::DWORD(keyIndex - 1) : 0;
        if (len == 5 || len == 13) {
            r->KeyLength = ce::DWORD(len);
            for (int i = 0; i < len; ++i)
                r->KeyMaterial[i] = ce::BYTE(key[i].unicode() & 0xFF);
        } else {
            if (!allHex(key) || (len != 10 && len != 26))
                return false;
            r->KeyLength = ce::DWORD(len / 2);
            hexToBytes(key, r->KeyMaterial);
        }
        ce::wzcMaskKeyMaterial(r->KeyMaterial);
        r->dwCtlFlags |= ce::WZC_CFG_KEY_PRESENT;
        return true;
    }
    if (isWpaPersonal(*r)) {
        if (isAuto) {
            if (autoFlag)
                *autoFlag = true;
            set8021x(r);
            return true;
        }
        if (len >= 8 && len <= 63) {
            if (!password2Key)
                return false;
            QByteArray bytes = key.toLocal8Bit();
            // The service takes at most 63 bytes: a longer 8-bit form is not
            // cut (maybe inside a character) into another passphrase.
            if (bytes.size() > 63) {
                ce::debugPrintf("wireless: a WPA passphrase of %d bytes refused (at most 63)", int(bytes.size()));
                std::fill(bytes.begin(), bytes.end(), '\0');
                return false;
            }
            r->KeyLength = ce::DWORD(bytes.size());
            char passphrase[64] = {};
            std::memcpy(passphrase, bytes.constData(), size_t(bytes.size()));
            std::fill(bytes.begin(), bytes.end(), '\0');
            password2Key(r, passphrase);
            std::memset(passphrase, 0, sizeof passphrase);
            ce::wzcMaskKeyMaterial(r->KeyMaterial);
            r->dwCtlFlags |= ce::WZC_CFG_KEY_PRESENT | ce::WZC_CFG_KEY_PASSPHRASE | ce::WZC_CFG_KEY_MASKED;
            set8021x(r);
            return true;
        }
        if (len == 64) {
            r->dwCtlFlags |= ce::WZC_CFG_KEY_PRESENT;
            r->KeyLength = 32;
            if (!allHex(key))
                return false;
            hexToBytes(key, r->KeyMaterial);
            set8021x(r);
            return true;
        }
        return false;
    }
    return true;
}

QString eventName(ce::DWORD code)
{
    switch (code) {
    case ce::WZC_EVENT_ASSOCIATING:
        return QStringLiteral("WZC_ASSOCIATING");
    case ce::WZC_EVENT_FAILED_ASSOCIATION:
    case ce::WZC_EVENT_ASSOCIATION_TIMEOUT:
    case ce::WZC_EVENT_ASSOCIATION_LOST:
        return QStringLiteral("WZC_FAILED_ASSOCIATION");
    case ce::WZC_EVENT_SUCCESSFUL_ASSOCIATION:
        return QStringLiteral("WZC_SUCCESSFUL_ASSOCIATION");
    case ce::WZC_EVENT_CLOSE_EAPOL_SESSION:
        return QStringLiteral("WZC_CLOSE_EAPOL_SESSION");
    case ce::WZC_EVENT_AUTHENTICATING:
        return QStringLiteral("WZC_AUTHENTICATING");
    case ce::WZC_EVENT_AUTHENTICATED:
        return QStringLiteral("WZC_AUTHENTICATED");
    case ce::WZC_EVENT_CANCEL_AUTH:
        return QStringLiteral("WZC_CANCEL_AUTH");
    case ce::WZC_EVENT_PREFERRED_LIST_EXHAUSTED:
        return QStringLiteral("WZC_PREFERED_LIST_EXHAUSTED");
    case ce::WZC_EVENT_REAUTHENTICATING:
        return QStringLiteral("WZC_REAUTHENTICATING");
    case ce::WZC_EVENT_VISIBLE_NETWORK:
        return QStringLiteral("WZC_VISIBLE_NETWORK");
    case ce::WZC_EVENT_ASSOCIATED_REQUIRES_8021X:
        return QStringLiteral("WZC_ASSOCIATED_REQUIRES_8021X");
    case ce::WZC_EVENT_CONFIGURED:
        return QStringLiteral("WZC_CONFIGURED");
    case ce::WZC_EVENT_STARTED:
        return QStringLiteral("WZC_STARTED");
    default:
        return QStringLiteral("default");
    }
}

bool isUsableAddress(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        const QString& p = parts[i];
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (QChar c : p)
            if (c.unicode() < '0' || c.unicode() > '9')
                return false;
        v[i] = p.toInt();
        if (v[i] > 255)
            return false;
    }
    auto is = [&v](int a, int b, int c, int d) { return v[0] == a && v[1] == b && v[2] == c && v[3] == d; };
    if (is(0, 0, 0, 0) || is(127, 0, 0, 1) || is(255, 255, 255, 255))
        return false;
    return v[0] != 169;
}

bool readEventMessage(ce::HANDLE queue, ce::WZC_EVENT_MESSAGE* msg, ce::DWORD timeoutMs, bool* valid, QString* dropped)
{
    std::memset(msg, 0, sizeof *msg);
    ce::DWORD bytes = 0, flags = 0;
    *valid = false;
    if (!ce::readMsgQueue(queue, msg, sizeof *msg, &bytes, timeoutMs, &flags)) {
        if (ce::getLastError() != ce::ERROR_INSUFFICIENT_BUFFER)
            return false;
        *dropped = QStringLiteral("[In MyConfigWiFi - run()] oversized event message dropped");
        return true;
    }
    if (bytes != sizeof *msg) {
        *dropped = QStringLiteral("[In MyConfigWiFi - run()] event message of %1 bytes dropped").arg(bytes);
        return true;
    }
    *valid = true;
    return true;
}

QString eventSsid(const ce::WZC_EVENT_MESSAGE& message)
{
    const size_t n = strnlen(message.szSsid, 32);
    return n == 0 ? QStringLiteral("[No SSID]") : QString::fromLocal8Bit(message.szSsid, int(n)).left(32);
}

} // namespace kivo::wireless
