#include "wifi/core/MyConfigWiFi.h"

#include "wifi/core/wireless_rules.h"

CMyConfigWiFi::CMyConfigWiFi() { }
CMyConfigWiFi::~CMyConfigWiFi()
{
    stopWzc();
}
bool CMyConfigWiFi::startWzc()
{
    return false;
}
bool CMyConfigWiFi::stopWzc()
{
    return true;
}
bool CMyConfigWiFi::findAdapter()
{
    return false;
}
bool CMyConfigWiFi::IsEnableWzcServer()
{
    return false;
}
ce::DWORD CMyConfigWiFi::enableWzcServer(bool)
{
    return ce::ERROR_NOT_SUPPORTED;
}
ce::DWORD CMyConfigWiFi::refreshInterface()
{
    return ce::ERROR_NOT_SUPPORTED;
}
ce::DWORD CMyConfigWiFi::refreshVisibleList()
{
    return ce::ERROR_NOT_SUPPORTED;
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
int CMyConfigWiFi::indexOfVisible(const ce::WZC_WLAN_CONFIG&) const
{
    return -1;
}
bool CMyConfigWiFi::firstPreferredNetwork(ce::WZC_WLAN_CONFIG*)
{
    return false;
}
bool CMyConfigWiFi::isAssociated()
{
    return false;
}
int CMyConfigWiFi::getIPInfo(bool* usable, QString*, QString*, QString*, QString*, QString*, QString*, QString*)
{
    if (usable)
        *usable = false;
    return 0;
}
bool CMyConfigWiFi::isConnected()
{
    return false;
}
bool CMyConfigWiFi::setKeyMaterial(ce::WZC_WLAN_CONFIG*, const QString&, int, bool*)
{
    return false;
}
ce::DWORD CMyConfigWiFi::clearPreferredList()
{
    return ce::ERROR_NOT_SUPPORTED;
}
ce::DWORD CMyConfigWiFi::AddToPreferredNetworkList(const ce::WZC_WLAN_CONFIG&)
{
    return ce::ERROR_NOT_SUPPORTED;
}
bool CMyConfigWiFi::connectNetwork(ce::HWND, ce::UINT, const QString&, const QString&, ce::DWORD, ce::DWORD, int, bool)
{
    return false;
}
bool CMyConfigWiFi::connectVisibleNetwork(int, const QString&, ce::HWND, ce::UINT)
{
    return false;
}
void CMyConfigWiFi::writeLog(const QString&) { }
QString CMyConfigWiFi::eventName(ce::DWORD code)
{
    return kivo::wireless::eventName(code);
}
bool CMyConfigWiFi::isUsableAddress(const QString& a)
{
    return kivo::wireless::isUsableAddress(a);
}
void CMyConfigWiFi::setDelayScaleForTests(double) { }
void CMyConfigWiFi::run() { }
