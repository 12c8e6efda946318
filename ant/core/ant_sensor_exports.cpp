// The ANTSENSOR_ exports.
#include "ant/core/ant_library.h"
#include "ant/core/ant_sensor_profile.h"
#include "ant/senvoy.h"

namespace senvoy {

ANTSensorProfile* SensorTable_Find(uint8_t channel, uint8_t kind)
{
    if (!ANTLIB_Manager())
        return nullptr;
    ANTSensorProfile* object = SensorTable_Get(channel);
    return object && object->sensorKind() == kind && object->channel() == channel ? object : nullptr;
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API int ANTSENSOR_Init(void* context, ANTSensorCallback callback)
{
    ANTSensor_SetCallback(callback, context);
    return ANTLIB_Manager() ? 1 : 0;
}

SENVOY_API void ANTSENSOR_Deinit(void)
{
    ANTSensor_SetCallback(nullptr, nullptr);
}

SENVOY_API int ANTSENSOR_RequestSensorID(uint8_t channel, uint8_t* buffer, uint32_t size)
{
    if (!ANTLIB_Manager() || !buffer || size != 8)
        return 0;
    ANTSensorProfile* object = SensorTable_Get(channel);
    // No sensor on the channel: nothing to tell, so no success either.
    if (!object || object->channel() != channel)
        return 0;
    return object->requestSensorId(channel, buffer);
}

SENVOY_API int ANTSENSOR_RequestSensorManufactorInfo(uint8_t, uint8_t*, uint32_t)
{
    return 0;
}

} // extern "C"
