// What the exports share: the one library core and the sensor objects by
// channel.
#pragma once

#include "ant/core/ant_device_manager.h"

#include <functional>

namespace senvoy {

// The library core, or null before ANTLIB_Init.
ANTDeviceManager* ANTLIB_Manager();

// The sensor objects of the sensor exports, by channel. Get gives null and
// set does nothing for channels of 8 and more.
ANTChannelHandler* SensorTable_Get(uint8_t channel);
void SensorTable_Set(uint8_t channel, ANTChannelHandler* object);

// Tests only: ANTLIB_Init makes its core with this (null: the usual one).
void ANTLIB_SetManagerFactoryForTests(std::function<ANTDeviceManager*()> factory);

} // namespace senvoy
