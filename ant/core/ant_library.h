// What the exports share: the one library core and the sensor objects by
// channel.
#pragma once

#include "ant/core/ant_device_manager.h"

#include <functional>

namespace senvoy {

// The library core, or null before ANTLIB_Init.
ANTDeviceManager* ANTLIB_Manager();

class ANTSensorProfile;

// The sensor objects of the sensor exports, by channel. Get gives null and
// set does nothing for channels of 8 and more.
ANTSensorProfile* SensorTable_Get(uint8_t channel);
void SensorTable_Set(uint8_t channel, ANTSensorProfile* object);

// The object a creating export works on: a new one from make() on an empty
// channel (registered with the core), or the one there when it is of this
// kind on this channel. Null without the library, for channel 8 or more,
// or when the channel holds another kind of sensor.
ANTSensorProfile* SensorTable_Creator(uint8_t channel, uint8_t kind, ANTSensorProfile* (*make)());
// A Disconnect export: 1 for an empty channel, 0 unless the object there is
// of this kind on this channel; else unregisters, closes and deletes it and
// gives the result of closing.
int SensorTable_Disconnect(uint8_t channel, uint8_t kind);

// Tests only: ANTLIB_Init makes its core with this (null: the usual one).
void ANTLIB_SetManagerFactoryForTests(std::function<ANTDeviceManager*()> factory);

} // namespace senvoy
