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
/* 136 bytes, little-endian: 0 channel, 1 1/0, 2 meter kind (0 unknown, 1
 * power only, 2 wheel torque, 3 crank torque, 4 crank torque frequency),
 * 3-27 the fields of pages 16, 17, 18 and 32 as sent, 28 calibration status
 * (0x11 succeeded, 0x10 failed, 0x21 zero offset received), 29 auto zero
 * (255 not supported, 0 off, 1 on), 30 zero offset received, 32/34 auto-zero
 * words, 36 calibration data, 40-49 manufacturer page, 56 power (W, double),
 * 64 stopped, 68 wheel stopped, 72 page-16 events, 76 torque events, 80
 * ticks, 88 speed (km/h, double), 96 distance (m, double), 104 angular
 * velocity (rad/s, double), 112 torque (N m, double), 120 cadence (rpm), 128
 * CTF events, 132 zero offset in use, 134 request status (0 acknowledged, 1
 * resent, 2 failed). Computed values are filled from the second page of one
 * meter kind on. */
#define ANTSENSOR_CODE_PWR 103

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

/* Power meters on channel 0-7, as the heart-rate functions. */
SENVOY_API int ANTPWR_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTPWR_Disconnect(uint8_t channel);
SENVOY_API int ANTPWR_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint8_t reserved0[5];
    uint8_t autoZero; /* nonzero: on */
    uint8_t reserved1[6];
    uint32_t ctfSerial; /* low 16 bits */
    uint32_t ctfSlope; /* N m per Hz */
    uint32_t wheelCircumference; /* cm, low 8 bits */
} ANTPWRSettings;
/* Calibration requests, sent as acknowledged pages: 1 when the meter took
 * the page at once. When the radio asks for a page again it is resent up to
 * three times; each resend and the outcome come as records with the request
 * status (byte 134). The circumference is only stored. */
SENVOY_API int ANTPWR_Cal_SetManualCalibration(uint8_t channel);
SENVOY_API int ANTPWR_Cal_SetAutoZero(uint8_t channel, const ANTPWRSettings* settings);
SENVOY_API int ANTPWR_Cal_SetCTFSerial(uint8_t channel, const ANTPWRSettings* settings);
SENVOY_API int ANTPWR_Cal_SetCTFSlope(uint8_t channel, const ANTPWRSettings* settings);
SENVOY_API int ANTPWR_Cal_SetWheelCircumference(uint8_t channel, const ANTPWRSettings* settings);

#ifdef __cplusplus
}
#endif

#endif
