#include "bt/core/phone_rows.h"

#include "bt/core/ble_sensors.h"
#include "bt/core/bt_copydata.h"
#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/phone_link.h"

#include "platform/debug.h"

#include <memory>

namespace kivo::bt {

namespace {

void sendPhoneState(int state, const std::u16string& name)
{
    PhoneStateRecord r {};
    r.state = state;
    setField(r.name, 64, Utf16Prefix(name, 32));
    ExternalSendRecord(WM_BTOUT_PHONE_STATE, &r, sizeof r);
}

void onConnectResult(ce::HWND self, ce::WPARAM connected, ce::LPARAM kind)
{
    if (kind != 10 && kind != 11) {
        const ManagerState s = GetManagerState();
        const std::u16string name = ConnectedPhoneName();
        if (connected && !name.empty() && !PhoneAnnounced()) {
            sendPhoneState(2, name);
            SetPhoneState(2);
            SetPhoneAnnounced(true);
            ce::postMessage(self, WM_STKOUTMSG_BTSTATUS, 2, 0);
        } else if (!connected && !s.serialLink && !s.handsFree && !s.audio && !s.messages) {
            // After Bluetooth went off its state stays 0.
            if (s.bluetoothOn) {
                sendPhoneState(1, {});
                SetPhoneState(1);
            }
            SetPhoneAnnounced(false);
            ce::postMessage(self, WM_STKOUTMSG_BTSTATUS, 2, 0);
        }
    }
    BtConfigRecord cfg;
    LoadConfiguration(&cfg);
    const bool up = connected != 0;
    auto post = [&](ce::UINT message, int flag) { ExternalPostMessage(message, flag && up ? 1 : 0, 0); };
    switch (kind) {
    case 1:
        post(WM_BTOUT_SERVICE_CALL_AVAILABILITY, cfg.call);
        break;
    case 2:
        post(WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY, cfg.musicControl);
        break;
    case 5:
        post(WM_BTOUT_SERVICE_CALL_AVAILABILITY, cfg.call);
        post(WM_BTOUT_SERVICE_MUSICCONTROL_AVAILABILITY, cfg.musicControl);
        post(WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY, cfg.message);
        post(WM_BTOUT_SERVICE_VOICEINSTRUCTION_AVAILABILITY, cfg.voiceInstruction);
        post(WM_BTOUT_SERVICE_SYNCMKIVOSHARE_AVAILABILITY, cfg.messageAlerts);
        post(WM_BTOUT_SERVICE_SENDMESSAGE_AVAILABILITY, 1);
        break;
    case 8:
        post(WM_BTOUT_SERVICE_MESSAGE_AVAILABILITY, cfg.message);
        break;
    case 10:
    case 11:
        if (connected == 0 || connected == 2 || connected == 3)
            ExternalPostMessage(kind == 10 ? WM_BTOUT_HRS_STATE : WM_BTOUT_SACS_STATE, connected, 0);
        break;
    default:
        break;
    }
}

void onDialerInfo(ce::WPARAM event, std::unique_ptr<CallRecord> record)
{
    const ManagerState s = GetManagerState();
    if ((event == 10 || event == 11) && s.callState == kCallRinging) {
        if (SettingsCallCopy())
            RunWorker([] { Buzz(1); });
    } else if ((event == 10 || event == 11) && s.callState == kCallOutgoing && s.mode == kModeSerial && record) {
        AddNotification(kNotificationMissedCall, record.get());
    } else if (event == 16) {
        RunWorker([] { Buzz(1); });
    }
    ExternalPostMessage(WM_BTOUT_CALL_STATE, ce::WPARAM(s.callState), 0);
}

} // namespace

const char16_t* VersionText()
{
    static const char16_t text[kVersionTextBytes / 2] = u"1.0.1.1";
    return text;
}

bool HandlePhoneRow(ce::HWND self, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam, ce::LRESULT* result)
{
    *result = 0;
    if (message == WM_STKOUTMSG_CONNECT_RESULT) {
        onConnectResult(self, wParam, lParam);
    } else if (message == WM_STKOUTMSG_DIALERINFO) {
        onDialerInfo(wParam, std::unique_ptr<CallRecord>(reinterpret_cast<CallRecord*>(lParam)));
    } else if (message == WM_STKMAPMSG_NEWMSG) {
        delete reinterpret_cast<SmsRecord*>(lParam);
    } else if (message == WM_STKOUTMSG_MUSICINFO) {
        if (wParam == 0 || wParam == 6 || wParam == 7 || wParam == 31)
            delete reinterpret_cast<TrackBlock*>(lParam);
        else if (wParam == 3)
            delete reinterpret_cast<PlayStatus*>(lParam);
    } else if (message == WM_STKOUTMSG_SENDMSGRESULT) {
        ExternalPostMessage(WM_BTOUT_SEND_EMERGENCYMSG_RESULT, wParam, 0);
    } else if (message == WM_STKOUTMSG_BLEDEVBATTERY) {
        if (wParam == 1 || wParam == 2)
            ExternalPostMessage(wParam == 1 ? WM_BTOUT_HRS_BATTERY : WM_BTOUT_SACS_BATTERY, ce::WPARAM(lParam), 0);
    } else if (message == WM_STKOUTMSG_BLEDEVFIND) {
        if (wParam != 1)
            return true;
        if (const auto device = CopyAdvertSlot(reinterpret_cast<const void*>(lParam))) {
            ExternalSendRecord(WM_BTOUT_BLE_DEVICE_FOUND, &*device, sizeof *device);
            ce::debugOutput("***[PhoneConnection] Dev Find out\r\n");
        }
    } else if (message == WM_STKOUTMSG_BLEDATA) {
        if (wParam != 1 && wParam != 2)
            return true;
        if (const auto data = CopySensorRecord(reinterpret_cast<const void*>(lParam)))
            ExternalSendRecord(wParam == 1 ? WM_BTOUT_HRS_DATA : WM_BTOUT_SAC_DATA, &*data, sizeof *data);
    } else if (message == WM_STKOUTMSG_BLEDEVCONNECTING) {
        // Nothing sends it.
    } else if (message == WM_BTIN_BLE_SCAN) {
        ce::debugPrintf("***[PhoneConnection] Scan Command  In(%d)\r\n", int(wParam));
        BleScanEnable(int(wParam));
    } else if (message == WM_BTIN_BLE_SCAN_CANCEL) {
        ce::debugOutput("***[PhoneConnection] Scan Cancel Command  In\r\n");
        BleScanDisable();
    } else if (message == WM_BTIN_BLE_CONNECT) {
        ce::debugPrintf("***[PhoneConnection] Connect Command In(0x%0x)\r\n", unsigned(wParam));
        BleConnect(int(wParam));
    } else if (message == WM_BTIN_BLE_DISCONNECT) {
        ce::debugOutput("***[PhoneConnection] Disconnect Command  In\r\n");
        BleDisconnect(int(wParam));
    } else if (message == WM_BTIN_VOICEINSTR_DATA) {
        // The posted form names text by an address, which any process can
        // post: only the WM_COPYDATA form carries voice text.
        ce::debugPrintf("***[PhoneConnection] posted voice instruction ignored (0x%lx)\r\n", long(lParam));
    } else if (message == WM_BTIN_QUERY_PHONE_STATE) {
        char16_t name[33] = {};
        GetConnectedPhoneName(name);
        sendPhoneState(GetPhoneState(), fieldText(name, 33));
    } else if (message == WM_BTIN_PHONEBOOK_LIST) {
        const std::vector<uint8_t> book = PhonebookCopy();
        ExternalSendRecord(WM_BTOUT_PHONEBOOK_LIST, book.empty() ? nullptr : book.data(), ce::DWORD(book.size()));
    } else if (message == WM_BTIN_RESTORE_FACTORYRESET) {
        ExternalPostMessage(WM_BTOUT_RESTORE_RESULT, ce::WPARAM(FactoryReset()), 0);
    } else if (message == WM_BTIN_BT_VERSION) {
        // The text travels as a record: its address means nothing to a client.
        const auto* text = reinterpret_cast<const char16_t*>(wParam);
        if (text && lParam == kVersionTextBytes)
            ExternalSendRecord(WM_BTOUT_BT_VERSION, text, ce::DWORD(lParam));
    } else if (message == ce::WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const ce::COPYDATASTRUCT*>(lParam);
        if (!cds)
            return true;
        if (cds->dwData == WM_BTIN_SEND_EMERGENCYMSG) {
            const auto m = ParseEmergencyMessage(cds);
            if (!m) {
                ce::debugPrintf("***[PhoneConnection] emergency message refused: %u bytes\r\n", unsigned(cds->cbData));
                return true;
            }
            *result = SendEmergencyMessage(m->number, m->text);
        } else if (cds->dwData == WM_BTIN_VOICEINSTR_DATA) {
            if (const auto text = CopyDataText(cds, 1024)) {
                ce::debugOutput(Utf8(*text) + "\r\n");
                if (ServiceFlag(3))
                    *result = SendVoiceInstructionText(*text);
            }
        } else if (cds->dwData == WM_BTIN_VOICEINSTR_AUDIODATA) {
            if (ServiceFlag(3) && cds->lpData && cds->cbData)
                *result = SendVoiceInstructionAudio(static_cast<const uint8_t*>(cds->lpData), cds->cbData);
        }
    } else {
        return false;
    }
    return true;
}

} // namespace kivo::bt
