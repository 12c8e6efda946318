#include "wifi/core/wireless_rules.h"

namespace kivo::wireless {

int compareSsid(const ce::WZC_WLAN_CONFIG&, const ce::WZC_WLAN_CONFIG&)
{
    return 0;
}
bool isHiddenSsid(const ce::WZC_WLAN_CONFIG&)
{
    return false;
}
QString ssidText(const ce::WZC_WLAN_CONFIG&)
{
    return {};
}
void addVisibleNetwork(std::vector<ce::WZC_WLAN_CONFIG>&, const ce::WZC_WLAN_CONFIG&) { }
void sortVisibleNetworks(std::vector<ce::WZC_WLAN_CONFIG>&) { }
bool readConfigList(const ce::RAW_DATA&, const ce::WZC_WLAN_CONFIG**, ce::DWORD*, ce::DWORD*, bool*)
{
    return false;
}
std::vector<ce::BYTE> buildPreferredList(
    bool, const ce::WZC_WLAN_CONFIG*, ce::DWORD, ce::DWORD, const ce::WZC_WLAN_CONFIG&, PreferredMove*)
{
    return {};
}
bool isSameNetwork(const ce::WZC_WLAN_CONFIG&, const ce::WZC_WLAN_CONFIG&)
{
    return false;
}
bool setKeyMaterial(ce::WZC_WLAN_CONFIG*, const QString&, int, bool*, ce::PFN_WZCPassword2Key)
{
    return false;
}
QString eventName(ce::DWORD)
{
    return QStringLiteral("default");
}
bool isUsableAddress(const QString&)
{
    return false;
}

} // namespace kivo::wireless
