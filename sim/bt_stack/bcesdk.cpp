// The exports of the simulated stack library (bin/BCESDK.so, loaded as
// "BCESDK.dll"). Built a second time without its last export
// (KIVO_BCESDK_INCOMPLETE) to exercise a binding's check.

#include "sim/bt_stack/bt_stack_service.h"

#include <cstring>

namespace svc = kivo::sim::bt::service;

#define BCESDK_API extern "C" __attribute__((visibility("default")))

BCESDK_API int BCESDK_Init(void)
{
    return svc::init();
}

BCESDK_API int BCESDK_SetPairable(int discoverable, int connectable, int pairable)
{
    return svc::enter("SetPairable", { discoverable, connectable, pairable }).value_or(0);
}

BCESDK_API int BCESDK_GetRemoteName(const uint8_t* address, char16_t* name, int maxChars)
{
    return svc::getRemoteName(address, name, maxChars);
}

BCESDK_API int BCESDK_Connect(const uint8_t* address, int profile)
{
    return svc::connect(address, profile);
}

BCESDK_API int BCESDK_Disconnect(const uint8_t* address, int mask)
{
    return svc::disconnect(address, mask);
}

BCESDK_API int BCESDK_GetAllShortCuts(BtShortcut* list, int* count)
{
    return svc::getAllShortcuts(list, count);
}

BCESDK_API int BCESDK_RegisterConnectCallback(BtConnectCallback callback)
{
    if (auto f = svc::enter("RegisterConnectCallback"))
        return *f;
    svc::setConnectCallback(callback);
    return 0;
}

BCESDK_API int BCESDK_HFAP_RegisterCallback(BtHandsFreeCallback callback, int reserved)
{
    if (auto f = svc::enter("HFAP_RegisterCallback", { reserved }))
        return *f;
    svc::setHandsFreeCallback(callback);
    return 0;
}

BCESDK_API int BCESDK_HFAP_3WayCalling(int action, int)
{
    return svc::threeWay(action);
}

BCESDK_API int BCESDK_HFAP_AnswerCall(void)
{
    return svc::answerCall();
}

BCESDK_API int BCESDK_HFAP_CancelCall(void)
{
    return svc::cancelCall();
}

BCESDK_API int BCESDK_HFAP_Dial(const char* number, int length)
{
    if (!number || length < 0)
        return 1;
    return svc::dial(std::string(number, strnlen(number, size_t(length))));
}

BCESDK_API int BCESDK_HFAP_GetAudioStatus(void)
{
    return svc::audioStatus();
}

BCESDK_API int BCESDK_HFAP_Transfer(void)
{
    return svc::enter("HFAP_Transfer").value_or(0);
}

BCESDK_API int BCESDK_PIMStartUpdateContacts(void)
{
    return svc::startUpdateContacts();
}

BCESDK_API int BCESDK_PIMRegisterCallbackEx(BtPimCallback pim, int reserved, BtMessageCallback message)
{
    if (auto f = svc::enter("PIMRegisterCallbackEx", { reserved }))
        return *f;
    svc::setPimCallbacks(pim, message);
    return 0;
}

BCESDK_API int BCESDK_PIMSendSMS(const char16_t* number, const char16_t* text)
{
    return svc::sendSms(svc::text16(number, 64), svc::text16(text, 4096));
}

BCESDK_API int BCESDK_PIMGetContacts(void* entries, int* count)
{
    return svc::getContacts(entries, count);
}

BCESDK_API int BCESDK_AVRCP_NowPlayingListItems(void)
{
    return svc::nowPlayingListItems();
}

BCESDK_API int BCESDK_AVRCP_PlayListItems(const uint8_t* entry, int index)
{
    return svc::playListItem(entry, index);
}

BCESDK_API int BCESDK_AVRCP_GetCapabilities(int capability)
{
    return svc::enter("AVRCP_GetCapabilities", { capability }).value_or(0);
}

BCESDK_API int BCESDK_AVRCP_RegCallBack(BtMusicCallback callback)
{
    if (auto f = svc::enter("AVRCP_RegCallBack"))
        return *f;
    svc::setMusicCallback(callback);
    return 0;
}

BCESDK_API int BCESDK_AVRCPPlayLast(void)
{
    return svc::enter("AVRCPPlayLast").value_or(0);
}

BCESDK_API int BCESDK_AVRCPPlayNext(void)
{
    return svc::enter("AVRCPPlayNext").value_or(0);
}

BCESDK_API int BCESDK_AVRCPForcePlay(void)
{
    return svc::enter("AVRCPForcePlay").value_or(0);
}

BCESDK_API int BCESDK_AVRCPForcePause(void)
{
    return svc::enter("AVRCPForcePause").value_or(0);
}

BCESDK_API int BCESDK_GetSavePath(char16_t* path, int maxChars)
{
    return svc::getSavePath(path, maxChars);
}

BCESDK_API int BCESDK_PIMStartSMSNotify(void)
{
    return svc::startSmsNotify();
}

BCESDK_API int BCESDK_GetClientPort(uint16_t* port)
{
    return svc::getClientPort(port);
}

BCESDK_API int BCESDK_ScanedBLERegisterCb(int kind, BtBleScanCallback callback)
{
    return svc::registerScan(kind, callback);
}

BCESDK_API int BCESDK_SetScan(int on)
{
    return svc::setScan(on);
}

BCESDK_API int BCESDK_BLEGetServiceByUUID(int device, BtBleService* service, uint16_t uuid)
{
    return svc::bleService(device, service, uuid);
}

BCESDK_API int BCESDK_BLEGetCharacterByUUID(int device, const BtBleService* service, BtBleCharacteristic* out, uint16_t uuid)
{
    return svc::bleCharacteristic(device, service, out, uuid);
}

BCESDK_API int BCESDK_BLEGetDescriptorByUUID(int device, const BtBleCharacteristic* ch, BtBleDescriptor* out, uint16_t uuid)
{
    return svc::bleDescriptor(device, ch, out, uuid);
}

BCESDK_API int BCESDK_BLESetDescriptorValue(int device, const BtBleDescriptor* descriptor, int value)
{
    return svc::bleSetDescriptor(device, descriptor, value);
}

BCESDK_API int BCESDK_BLEGetCharacteristicValue(int device, const BtBleCharacteristic* ch, int maxLength, BtBleValue* value)
{
    return svc::bleValue(device, ch, maxLength, value);
}

BCESDK_API int BCESDK_BLERegNotification(
    int device, const BtBleCharacteristic* ch, int* notification, BtBleNotifyCallback callback, int kind)
{
    return svc::bleRegNotification(device, ch, notification, callback, kind);
}

BCESDK_API int BCESDK_BLEEnd(int device, int notification)
{
    return svc::bleEnd(device, notification);
}

// The rest are logged and succeed; the manager relies on nothing they do.
#define KIVO_PLAIN_EXPORT(name)                                                                                      \
    BCESDK_API int BCESDK_##name(void) { return svc::enter(#name).value_or(0); }

KIVO_PLAIN_EXPORT(GetSofewareVersion)
KIVO_PLAIN_EXPORT(UnInit)
KIVO_PLAIN_EXPORT(GetDefaultPinCode)
KIVO_PLAIN_EXPORT(SetDefaultPinCode)
KIVO_PLAIN_EXPORT(GetLocalName)
KIVO_PLAIN_EXPORT(SetLocalName)
KIVO_PLAIN_EXPORT(GetLocalBTAddr)
KIVO_PLAIN_EXPORT(GetModuleString)
KIVO_PLAIN_EXPORT(DeviceDiscovery)
KIVO_PLAIN_EXPORT(StopDiscovery)
KIVO_PLAIN_EXPORT(PairDevice)
KIVO_PLAIN_EXPORT(IsPairDevice)
KIVO_PLAIN_EXPORT(UnPairDevice)
KIVO_PLAIN_EXPORT(GetRemoteServices)
KIVO_PLAIN_EXPORT(ConnectEx)
KIVO_PLAIN_EXPORT(IsConnected)
KIVO_PLAIN_EXPORT(DeleteShortCut)
KIVO_PLAIN_EXPORT(EnableAutoConnectHF)
KIVO_PLAIN_EXPORT(DisableAutoConnectHF)
KIVO_PLAIN_EXPORT(IsAutoConnectHF)
KIVO_PLAIN_EXPORT(RegisterPairCallback)
KIVO_PLAIN_EXPORT(HFAP_LastNumRedial)
KIVO_PLAIN_EXPORT(HFAP_TransmitDTMFCode)
KIVO_PLAIN_EXPORT(HFAP_TransferBack)
KIVO_PLAIN_EXPORT(HFAP_MuteMic)
KIVO_PLAIN_EXPORT(HFAP_UnmuteMic)
KIVO_PLAIN_EXPORT(EnableAutoAnswer)
KIVO_PLAIN_EXPORT(DisableAutoAnswer)
KIVO_PLAIN_EXPORT(IsAutoAnswer)
KIVO_PLAIN_EXPORT(BindA2DPToHF)
KIVO_PLAIN_EXPORT(UnbindA2DPFromHF)
KIVO_PLAIN_EXPORT(PIMStartUpdateContactsEx)
KIVO_PLAIN_EXPORT(PIMRegisterCallback)
KIVO_PLAIN_EXPORT(PIMStartUpdateCalllog)
KIVO_PLAIN_EXPORT(PIMStartUpdateSMS)
KIVO_PLAIN_EXPORT(PIMGetCalllogs)
KIVO_PLAIN_EXPORT(PIMGetSMSs)
KIVO_PLAIN_EXPORT(GetPhoneList)
KIVO_PLAIN_EXPORT(AVRCPPlay)
KIVO_PLAIN_EXPORT(AVRCPPause)
KIVO_PLAIN_EXPORT(AVRCPStop)
KIVO_PLAIN_EXPORT(AVRCPVolumeUP)
KIVO_PLAIN_EXPORT(AVRCPVolumeDown)
KIVO_PLAIN_EXPORT(EnalbeA2DP)
KIVO_PLAIN_EXPORT(DisableA2DP)
KIVO_PLAIN_EXPORT(IsA2DPEnable)
KIVO_PLAIN_EXPORT(A2DP_SNK_EnablePlay)
KIVO_PLAIN_EXPORT(A2DP_SNK_DisablePlay)
KIVO_PLAIN_EXPORT(RegPassThrCmdCbk)
KIVO_PLAIN_EXPORT(DUNGetCountry)
KIVO_PLAIN_EXPORT(DUNGetProvider)
KIVO_PLAIN_EXPORT(LoadProfileDrvs)
KIVO_PLAIN_EXPORT(FTPGetRemoteFileList)
KIVO_PLAIN_EXPORT(FTPDownLoadFile)
KIVO_PLAIN_EXPORT(FTPDownLoadDir)
KIVO_PLAIN_EXPORT(FTPNewFolder)
KIVO_PLAIN_EXPORT(FTPSetRmtDir)
KIVO_PLAIN_EXPORT(FTPGetRmtDir)
KIVO_PLAIN_EXPORT(FTPPutFile)
KIVO_PLAIN_EXPORT(FTPPutDir)
KIVO_PLAIN_EXPORT(FTPDeleteFile)
KIVO_PLAIN_EXPORT(FTPDeleteDir)
KIVO_PLAIN_EXPORT(FTPCancelTransfer)
KIVO_PLAIN_EXPORT(FTPRegisterStatusCallback)
KIVO_PLAIN_EXPORT(SetDefaultPath)
KIVO_PLAIN_EXPORT(GetDefaultPath)
KIVO_PLAIN_EXPORT(GetLastConnectedHFDevice)
KIVO_PLAIN_EXPORT(GetLastConnectedAVDevice)
KIVO_PLAIN_EXPORT(PIMGetOppContacts)
KIVO_PLAIN_EXPORT(OPPPushContact)
KIVO_PLAIN_EXPORT(BLEDisplayDevices)
KIVO_PLAIN_EXPORT(BLEStart)
KIVO_PLAIN_EXPORT(BLEGetServices)
KIVO_PLAIN_EXPORT(BLEGetCharacteristics)
KIVO_PLAIN_EXPORT(BLEGetDescriptors)
KIVO_PLAIN_EXPORT(BLESetCharacteristicValue)
KIVO_PLAIN_EXPORT(BLEReadCSCFeatureValue)
KIVO_PLAIN_EXPORT(BLEUnPairDev)
KIVO_PLAIN_EXPORT(GATTC_Init)
KIVO_PLAIN_EXPORT(GATTS_Init)
KIVO_PLAIN_EXPORT(GATTS_RegRecv)
KIVO_PLAIN_EXPORT(SetPhoneSpkVol)
#ifndef KIVO_BCESDK_INCOMPLETE
KIVO_PLAIN_EXPORT(Reset)
#endif
