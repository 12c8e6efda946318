/* Senvoy, the ANT radio library: the functions it exports with C linkage.
 * Functions return 1 on success and 0 on failure unless said otherwise. */
#ifndef SENVOY_H
#define SENVOY_H

#include <stdint.h>

#if defined(__GNUC__)
#define SENVOY_API __attribute__((visibility("default")))
#else
#define SENVOY_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Starts the library core; the radio opens in the background. 1 also when
 * the library runs already. 0 when the core could not start (a later call
 * tries again). */
SENVOY_API int ANTLIB_Init(void);
/* Deletes every sensor object and stops the core. */
SENVOY_API void ANTLIB_Deinit(void);
/* Radio test messages; 1 when the radio answered. */
SENVOY_API int ANTLIB_InitCWTestMode(void);
SENVOY_API int ANTLIB_SetCWTestMode(uint8_t power, uint8_t rfFrequency);
/* 1 when the radio answers a request for its capabilities within a second. */
SENVOY_API int ANTLIB_RxTxTest(void);

/* Decoded sensor data: callback(code, 0, record, length, context) on the
 * library's receive thread. Every record begins with the channel and a byte
 * that is 1 for data and 0 when the channel has closed. The callback must
 * return soon and must not call the library. */
typedef void (*ANTSensorCallback)(uint32_t code, uint32_t reserved, const uint8_t* record, uint32_t length,
    void* context);

#define ANTSENSOR_CODE_HRM 101 /* 16 bytes: channel, 1/0, 0, 0, heart rate (32-bit), 8 zero bytes */
/* 36 bytes: channel, 1/0, sensor class (0 undecided, 1 speed above 100 km/h
 * while the count bytes move, 2 seen standing), 0, then 32-bit words: wheel
 * revolution count, crank revolution count, crank event time, wheel event
 * time (1/1024 s), speed (1/1000 km/h), cadence (rpm); 8 zero bytes. */
#define ANTSENSOR_CODE_SAC 102

/* Stores the callback and its context; 1 when ANTLIB_Init has run. */
SENVOY_API int ANTSENSOR_Init(void* context, ANTSensorCallback callback);
/* No record is delivered once this returns. */
SENVOY_API void ANTSENSOR_Deinit(void);
/* Fills 8 bytes: channel, 0, device number (16-bit), device type,
 * transmission type, 0, 0. Needs a sensor that is being received. */
SENVOY_API int ANTSENSOR_RequestSensorID(uint8_t channel, uint8_t* buffer, uint32_t size);
/* Always 0. */
SENVOY_API int ANTSENSOR_RequestSensorManufactorInfo(uint8_t channel, uint8_t* buffer, uint32_t size);

/* Heart rate on channel 0-7. deviceNumber 0 takes any strap; searchTimeout
 * in units of 2.5 s. Connect: 1 opened, 2 already searching or receiving,
 * 0 failed (also when the channel holds another kind of sensor). */
SENVOY_API int ANTHRM_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTHRM_Disconnect(uint8_t channel);
/* Only the listed straps (exclude 0) or all but them (exclude 1) are found;
 * the channel must be open. */
SENVOY_API int ANTHRM_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);

/* Speed and cadence on channel 0-7, as the heart-rate functions. */
SENVOY_API int ANTSAC_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTSAC_Disconnect(uint8_t channel);
SENVOY_API int ANTSAC_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint32_t reserved;
    uint32_t wheelCircumference; /* cm; the default is 207 */
} ANTSACSettings;
/* Sets the wheel circumference of the sensor on the channel; 0 when the
 * channel holds no speed-and-cadence sensor. */
SENVOY_API int ANTSAC_Configure(uint8_t channel, const ANTSACSettings* settings);

#ifdef __cplusplus
}
#endif

#endif
