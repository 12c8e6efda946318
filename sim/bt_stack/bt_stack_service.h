// Internal: what the exports of bcesdk.cpp call in the shared world.
#pragma once

#include "platform/bt/bcesdk.h"

#include <optional>
#include <string>
#include <vector>

namespace kivo::sim::bt::service {

// Logs the call; the failure the world sets for it, if any.
std::optional<int> enter(const char* name, std::vector<long> args = {}, const std::string& text = {});

int init();
int getRemoteName(const uint8_t* address, char16_t* name, int maxChars);
int connect(const uint8_t* address, int profile);
int disconnect(const uint8_t* address, int mask);
int getAllShortcuts(BtShortcut* list, int* count);
void setConnectCallback(BtConnectCallback cb);
void setHandsFreeCallback(BtHandsFreeCallback cb);
void setPimCallbacks(BtPimCallback pim, BtMessageCallback message);
void setMusicCallback(BtMusicCallback cb);
int answerCall();
int cancelCall();
int threeWay(int action);
int dial(const std::string& number);
int audioStatus();
int startUpdateContacts();
int getContacts(void* entries, int* count);
int sendSms(const std::u16string& number, const std::u16string& text);
int startSmsNotify();
int nowPlayingListItems();
int playListItem(const uint8_t* entry, int index);
int getSavePath(char16_t* path, int maxChars);

int getClientPort(uint16_t* port);
int registerScan(int kind, BtBleScanCallback cb);
int setScan(int on);
int bleService(int device, BtBleService* service, uint16_t uuid);
int bleCharacteristic(int device, const BtBleService* service, BtBleCharacteristic* out, uint16_t uuid);
int bleDescriptor(int device, const BtBleCharacteristic* ch, BtBleDescriptor* out, uint16_t uuid);
int bleSetDescriptor(int device, const BtBleDescriptor* descriptor, int value);
int bleValue(int device, const BtBleCharacteristic* ch, int maxLength, BtBleValue* value);
int bleRegNotification(int device, const BtBleCharacteristic* ch, int* notification, BtBleNotifyCallback cb, int kind);
int bleEnd(int device, int notification);

std::string utf8(const std::u16string& s);
std::u16string text16(const char16_t* s, size_t max);

} // namespace kivo::sim::bt::service
