#include "ant/core/ant_sensor_profile.h"

#include "ant/core/ant_command.h"
#include "platform/debug.h"
#include "platform/registry.h"

#include <cctype>
#include <cstring>
#include <mutex>
#include <string>

#ifndef SENVOY_NETWORK_KEY_1
#define SENVOY_NETWORK_KEY_1 ""
#endif
#ifndef SENVOY_NETWORK_KEY_2
#define SENVOY_NETWORK_KEY_2 ""
#endif

namespace senvoy {

namespace {
std::recursive_mutex g_callbackMutex; // held while the callback runs
ANTSensorCallback g_callback = nullptr;
void* g_context = nullptr;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}
} // namespace

void ANTSensor_SetCallback(ANTSensorCallback callback, void* context)
{
    std::lock_guard<std::recursive_mutex> lock(g_callbackMutex);
    g_callback = callback;
    g_context = context;
}

bool ANTSensor_Deliver(uint32_t code, const uint8_t* record, uint32_t length)
{
    std::lock_guard<std::recursive_mutex> lock(g_callbackMutex);
    if (!g_callback)
        return false;
    g_callback(code, 0, record, length, g_context);
    return true;
}

bool ANTSensor_ParseKey(const char* text, uint8_t key[8])
{
    if (!text || !key)
        return false;
    uint8_t out[8];
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == ' ' || *p == '\t' || *p == ':' || *p == '-' || *p == ',')
            continue;
        int v = hexValue(*p);
        if (v < 0 || digits >= 16)
            return false;
        if (digits % 2 == 0)
            out[digits / 2] = uint8_t(v << 4);
        else
            out[digits / 2] |= uint8_t(v);
        ++digits;
    }
    if (digits != 16)
        return false;
    std::memcpy(key, out, 8);
    return true;
}

bool ANTSensor_NetworkKey(uint8_t network, uint8_t key[8])
{
    if (network == 0) {
        std::memset(key, 0, 8);
        return true;
    }
    std::string name = "NetworkKey" + std::to_string(network);
    if (auto value = ce::reg::getString(ce::reg::Root::LocalMachine, ANT_KEY_REGISTRY_PATH, name)) {
        if (ANTSensor_ParseKey(value->c_str(), key))
            return true;
        ce::debugPrintf("Senvoy: %s in HKEY_LOCAL_MACHINE\\%s is not 16 hex digits", name.c_str(),
            ANT_KEY_REGISTRY_PATH);
    }
    const char* built = network == 1 ? SENVOY_NETWORK_KEY_1 : network == 2 ? SENVOY_NETWORK_KEY_2 : "";
    return ANTSensor_ParseKey(built, key);
}

ANTSensorProfile::ANTSensorProfile(uint8_t kind, uint8_t deviceType, uint8_t rf, uint16_t period, uint8_t network)
    : m_deviceType(deviceType)
    , m_rf(rf)
    , m_period(period)
    , m_network(network)
{
    m_sensorKind = kind;
    m_haveKey = ANTSensor_NetworkKey(network, m_networkKey);
}

void ANTSensorProfile::attach(ANTFramer* framer, uint8_t channel)
{
    m_framer = framer;
    m_channel = channel;
    m_state = STATE_UNASSIGNED;
    resetDecoder();
}

bool ANTSensorProfile::requestStatus(uint8_t* radioState)
{
    uint8_t status = 0;
    if (!ANTCommand_RequestChannelStatus(m_framer, m_channel, &status, ANT_COMMAND_TIMEOUT_MS))
        return false;
    *radioState = status & 3;
    return true;
}

int ANTSensorProfile::open(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout)
{
    return openWith(channel, deviceNumber, searchTimeout, true, true);
}

int ANTSensorProfile::openWith(
    uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout, bool askStatus, bool keyFirst)
{
    if (!m_framer)
        return 0;
    m_channel = channel;
    m_deviceNumber = deviceNumber;
    m_searchTimeout = searchTimeout;
    if (m_state == STATE_SEARCHING || m_state == STATE_TRACKING)
        return 2;
    if (!m_haveKey) {
        // Without its network's key the channel could never hear a sensor.
        ce::debugPrintf("Senvoy: no key for ANT network %u (set NetworkKey%u in HKEY_LOCAL_MACHINE\\%s)",
            m_network, m_network, ANT_KEY_REGISTRY_PATH);
        return 0;
    }
    const uint32_t t = ANT_COMMAND_TIMEOUT_MS;
    if (askStatus) {
        uint8_t radio = 0;
        if (!requestStatus(&radio))
            return 0;
        if (radio == ANT_STATE_SEARCHING || radio == ANT_STATE_TRACKING) {
            if (!ANTCommand_CloseChannel(m_framer, channel, ANT_CLOSE_TIMEOUT_MS)
                || !ANTCommand_UnassignChannel(m_framer, channel, t))
                return 0;
        } else if (radio == ANT_STATE_ASSIGNED) {
            if (!ANTCommand_UnassignChannel(m_framer, channel, t))
                return 0;
        }
    } else if (m_state == STATE_CLOSED && !ANTCommand_UnassignChannel(m_framer, channel, t)) {
        return 0;
    }
    if (keyFirst && !ANTCommand_SetNetworkKey(m_framer, m_network, m_networkKey, t))
        return 0;
    if (!ANTCommand_AssignChannel(m_framer, channel, 0x00, m_network, t)
        || !ANTCommand_SetChannelId(m_framer, channel, deviceNumber, m_deviceType, m_transmissionType, t)
        || !ANTCommand_SetRfFrequency(m_framer, channel, m_rf, t))
        return 0;
    if (!keyFirst && !ANTCommand_SetNetworkKey(m_framer, m_network, m_networkKey, t))
        return 0;
    if (!ANTCommand_SetChannelPeriod(m_framer, channel, m_period, t)
        || !ANTCommand_SetSearchTimeout(m_framer, channel, searchTimeout, t))
        return 0;
    m_state = STATE_CLOSED;
    if (!ANTCommand_OpenChannel(m_framer, channel, t))
        return 0;
    m_state = STATE_SEARCHING;
    m_enabled = 1;
    return 1;
}

int ANTSensorProfile::configureListWith(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count,
    uint8_t exclude, bool needTracking, uint8_t listTransmission)
{
    if (!m_framer || (count > 0 && !deviceNumbers))
        return 0;
    const uint32_t t = ANT_COMMAND_TIMEOUT_MS;
    if (needTracking) {
        if (m_state != STATE_TRACKING || !ANTCommand_CloseChannel(m_framer, channel, t))
            return 0;
    } else {
        if (m_state < STATE_SEARCHING)
            return 0;
        uint8_t status = 0;
        if (!ANTCommand_RequestChannelStatus(m_framer, channel, &status, t))
            return 0;
        if (status != 5 && !ANTCommand_CloseChannel(m_framer, channel, t))
            return 0;
    }
    m_state = STATE_CLOSED;
    for (uint8_t i = 0; i < count; ++i)
        if (!ANTCommand_AddChannelIdToList(m_framer, channel, deviceNumbers[i], m_deviceType, listTransmission, i, t))
            return 0;
    if (!ANTCommand_ConfigList(m_framer, channel, count, exclude, t)
        || !ANTCommand_SetChannelId(m_framer, channel, m_deviceNumber, m_deviceType, m_transmissionType, t)
        || !ANTCommand_OpenChannel(m_framer, channel, t))
        return 0;
    m_state = STATE_SEARCHING;
    return 1;
}

int ANTSensorProfile::close()
{
    if (!m_framer)
        return 0;
    uint8_t radio = 0;
    if (!requestStatus(&radio))
        return 0;
    if ((radio == ANT_STATE_SEARCHING || radio == ANT_STATE_TRACKING)
        && !ANTCommand_CloseChannel(m_framer, m_channel, ANT_CLOSE_TIMEOUT_MS))
        return 0;
    m_state = STATE_CLOSED;
    if (radio == ANT_STATE_UNASSIGNED)
        return 1;
    if (!ANTCommand_UnassignChannel(m_framer, m_channel, ANT_COMMAND_TIMEOUT_MS))
        return 0;
    m_state = STATE_UNASSIGNED;
    return 1;
}

int ANTSensorProfile::requestSensorId(uint8_t, uint8_t out[8])
{
    if (!m_framer || !out || m_state != STATE_TRACKING)
        return 0;
    uint16_t number = 0;
    uint8_t type = 0, transmission = 0;
    if (!ANTCommand_RequestChannelId(m_framer, m_channel, &number, &type, &transmission, ANT_COMMAND_TIMEOUT_MS))
        return 0;
    out[0] = m_channel;
    out[1] = 0;
    out[2] = uint8_t(number);
    out[3] = uint8_t(number >> 8);
    out[4] = type;
    out[5] = transmission;
    out[6] = out[7] = 0;
    return 1;
}

void ANTSensorProfile::onMessage(const uint8_t* message, uint16_t length)
{
    if (!message || length >= ANT_NO_MESSAGE || length == 0)
        return;
    const uint8_t id = message[0];
    const uint8_t* data = message + 1;
    const bool response = id == ANT_MSG_EVENT && length >= 3;
    bool mine = (data[0] & 31) == m_channel;
    if (response && data[1] == ANT_MSG_NETWORK_KEY)
        mine = data[0] == m_network;
    else if ((response && data[1] == ANT_MSG_TRANSMIT_POWER) || id == ANT_MSG_STARTUP)
        mine = true;
    if (!mine)
        return;
    if (id == ANT_MSG_EVENT) {
        if (length < 3)
            return;
        if (data[1] == 1) {
            std::memcpy(m_data, data, 3);
            dispatch(data[2], true);
        } else {
            std::memcpy(m_response, data, 3);
        }
        return;
    }
    uint32_t code;
    switch (id) {
    case ANT_MSG_BROADCAST_DATA: code = ANT_CODE_BROADCAST; break;
    case ANT_MSG_ACKNOWLEDGED_DATA: code = ANT_CODE_ACKNOWLEDGED; break;
    case ANT_MSG_BURST_DATA: code = ANT_CODE_BURST; break;
    case 0x5D: code = 157; break;
    case 0x5E: code = 158; break;
    case 0x5F: code = 159; break;
    default: code = id; break;
    }
    if (code >= ANT_CODE_BROADCAST && code <= 159) {
        // A data message shorter than a channel byte and a page is no page.
        if (length < 9)
            return;
        std::memcpy(m_data, data, 9);
    } else {
        std::memcpy(m_response, data, length < 3 ? length : 3);
    }
    dispatch(code, false);
}

void ANTSensorProfile::dispatch(uint32_t code, bool event)
{
    if (m_data[0] != m_channel)
        return;
    if (event && code != ANT_EVENT_CHANNEL_CLOSED) {
        onEvent(uint8_t(code));
    } else if (code == ANT_EVENT_CHANNEL_CLOSED) {
        m_state = STATE_CLOSED;
        reportClosed();
    } else if (code == ANT_CODE_BROADCAST || code == ANT_CODE_ACKNOWLEDGED) {
        m_state = STATE_TRACKING;
        decode(m_data + 1);
        report();
    }
}

void ANTSensorProfile::onManagerEvent(uint32_t event, uint32_t)
{
    if (event != ANT_MANAGER_EVENT_RESET)
        return;
    uint8_t was = m_state.exchange(STATE_UNASSIGNED);
    if (was == STATE_SEARCHING || was == STATE_TRACKING)
        reportClosed();
}

} // namespace senvoy
