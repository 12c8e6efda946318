#include "ant/core/ant_library.h"

#include "ant/antfs/antfs_client_api.h"
#include "ant/antfs/antfs_host_api.h"

#include "ant/core/ant_command.h"
#include "ant/core/ant_sensor_profile.h"
#include "ant/senvoy.h"
#include "platform/debug.h"

#include <atomic>
#include <mutex>

namespace senvoy {

namespace {
std::mutex g_lifecycle; // Init and Deinit
std::atomic<ANTDeviceManager*> g_manager { nullptr };
ANTSensorProfile* g_sensors[ANT_CHANNELS] = {};
std::function<ANTDeviceManager*()> g_factory;
constexpr uint32_t kTestTimeoutMs = 1000;
} // namespace

ANTDeviceManager* ANTLIB_Manager()
{
    return g_manager;
}

ANTSensorProfile* SensorTable_Get(uint8_t channel)
{
    return channel < ANT_CHANNELS ? g_sensors[channel] : nullptr;
}

void ANTLIB_SetManagerFactoryForTests(std::function<ANTDeviceManager*()> factory)
{
    std::lock_guard<std::mutex> lock(g_lifecycle);
    g_factory = std::move(factory);
}

void SensorTable_Set(uint8_t channel, ANTSensorProfile* object)
{
    if (channel < ANT_CHANNELS)
        g_sensors[channel] = object;
}

ANTSensorProfile* SensorTable_Creator(uint8_t channel, uint8_t kind, ANTSensorProfile* (*make)())
{
    ANTDeviceManager* manager = g_manager;
    if (!manager || channel >= ANT_CHANNELS)
        return nullptr;
    ANTSensorProfile* object = g_sensors[channel];
    if (!object) {
        object = make();
        object->setSensorKind(kind);
        object->setChannel(channel);
        g_sensors[channel] = object;
        if (!manager->registerChannel(channel, object))
            ce::debugPrintf("Senvoy: channel %u is served by another user", channel);
        return object;
    }
    // Another kind of sensor on the channel is not reopened as this one.
    if (object->sensorKind() != kind || object->channel() != channel)
        return nullptr;
    return object;
}

int SensorTable_Disconnect(uint8_t channel, uint8_t kind)
{
    ANTDeviceManager* manager = g_manager;
    if (!manager)
        return 0;
    ANTSensorProfile* object = SensorTable_Get(channel);
    if (!object)
        return 1;
    if (object->sensorKind() != kind || object->channel() != channel)
        return 0;
    manager->unregisterChannel(object);
    int r = object->close();
    delete object;
    g_sensors[channel] = nullptr;
    return r;
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API int ANTLIB_Init(void)
{
    std::lock_guard<std::mutex> lock(g_lifecycle);
    if (g_manager)
        return 1;
    for (auto& s : g_sensors)
        s = nullptr;
    ANTDeviceManager* manager = g_factory ? g_factory() : new ANTDeviceManager();
    if (!manager->start(false)) {
        // Nothing usable stays behind, so a later call starts afresh.
        ce::debugPrintf("ANTLIB_Init: the library core did not start");
        if (manager->stop())
            delete manager;
        return 0;
    }
    g_manager = manager;
    return 1;
}

SENVOY_API void ANTLIB_Deinit(void)
{
    std::lock_guard<std::mutex> lock(g_lifecycle);
    ANTDeviceManager* manager = g_manager;
    if (!manager)
        return;
    // The ANT-FS engines send through the core's framer: closed first.
    ANTFSClient_LibraryClosing();
    ANTFSHost_LibraryClosing();
    for (uint8_t ch = 0; ch < ANT_CHANNELS; ++ch) {
        ANTSensorProfile* object = g_sensors[ch];
        if (!object)
            continue;
        // Out of the core's table first, so no message reaches it once deleted.
        manager->unregisterChannel(object);
        delete object;
        g_sensors[ch] = nullptr;
    }
    g_manager = nullptr;
    if (manager->stop())
        delete manager;
    else
        ce::debugPrintf("ANTLIB_Deinit: a thread of the library core did not end; its core is kept");
}

SENVOY_API int ANTLIB_InitCWTestMode(void)
{
    ANTDeviceManager* manager = g_manager;
    if (!manager)
        return 0;
    return ANTCommand_InitCWTestMode(manager->framer(), kTestTimeoutMs);
}

SENVOY_API int ANTLIB_SetCWTestMode(uint8_t power, uint8_t rfFrequency)
{
    ANTDeviceManager* manager = g_manager;
    if (!manager)
        return 0;
    return ANTCommand_SetCWTestMode(manager->framer(), power, rfFrequency, kTestTimeoutMs);
}

SENVOY_API int ANTLIB_RxTxTest(void)
{
    ANTDeviceManager* manager = g_manager;
    if (!manager)
        return 0;
    ANTMessageRecord reply;
    return ANTCommand_RequestMessage(manager->framer(), ANT_MSG_CAPABILITIES, 0, &reply, kTestTimeoutMs);
}

} // extern "C"
