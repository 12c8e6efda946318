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
/* 120 bytes, little-endian: 0 channel, 1 1/0, 2 temperature state, 3
 * travel mode state (255 while declared not supported), 4 system state, 5
 * gear state, 6 error message, 8 speed (km/h, double), 16 odometer (km,
 * double), 24 remaining range (km), 26 battery charge, 27 percent assist,
 * 28 charging cycles, 32 fuel consumption (double), 40 battery voltage, 48
 * charge distance (double), 56 travel modes supported, 58 wheel
 * circumference, 60 display page status (1 acknowledged, 2 resent, 0
 * failed), 64 odometer of page 34 (km, double), 72 its second value
 * (double). */
#define ANTSENSOR_CODE_LEV 104
/* 32 bytes: 0 channel, 1 1/0, 2 status (0 undecided, 1 implausible, 2
 * plausible), 8 value A (double), 16 value B, 18 value C (16-bit), 20 byte 6. */
#define ANTSENSOR_CODE_TRN 108
/* 7 bytes: channel, 1/0, page 0 bytes 2-4, page 17 bytes 2-3. */
#define ANTSENSOR_CODE_SMANO 109
/* 64 bytes: channel, 1/0, then the fields of the device's pages (multi-byte
 * ones sent big-endian, stored little-endian). */
#define ANTSENSOR_CODE_BSD 110
/* 52 bytes: as BSD; the four sub-pages of page 221 come together (0 until
 * received). */
#define ANTSENSOR_CODE_GNS 111
/* 52 bytes: channel, 1/0, then the fields of pages 0-3. */
#define ANTSENSOR_CODE_VTX 112

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

/* Light electric vehicles on channel 0-7, as the heart-rate functions. The
 * Change and Set functions edit the display page 16 only; SendP16Data sends
 * it (1 when the vehicle took it at once; up to ten resends follow when the
 * radio reports a failed transfer, each and the outcome reported in byte 60
 * of a record). */
SENVOY_API int ANTLEV_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTLEV_Disconnect(uint8_t channel);
SENVOY_API int ANTLEV_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint8_t reserved0[4];
    uint8_t travelMode; /* bits 3-5 assist level, bits 0-2 regeneration level */
    uint8_t lights; /* lights and signals: the whole command word's low byte */
    uint8_t gears; /* bits 0-1 front gear, bits 2-5 rear gear */
    uint8_t reserved1;
    uint16_t manufacturerId;
    uint16_t reserved2;
    uint32_t wheelCircumference; /* mm; 0 is refused */
    uint32_t travelModeNotSupported; /* 1: not supported */
    uint8_t assistModes; /* how many the vehicle offers */
    uint8_t regenModes;
    uint8_t reserved3[2];
} ANTLEVSettings;
SENVOY_API int ANTLEV_ChangeDisplayAssistModes(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeDisplayRegenModes(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16Assist(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16Regen(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16FrontGear(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16RearGear(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16HighBeamOn(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16LightOn(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16LeftSignalOn(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16RightSignalOn(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16ManID(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_ChangeP16Circum(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_SetP16TravelModeNotSupported(uint8_t channel, const ANTLEVSettings* settings);
SENVOY_API int ANTLEV_SendP16Data(uint8_t channel);

/* BSD and GNS devices on channel 0-7; their lists need a device being
 * received. SET_CMD sends one command page (by the record's kind) to a
 * device being received; on an empty channel it makes the sensor object,
 * not yet open, and gives 0. */
SENVOY_API int ANTBSD_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTBSD_Disconnect(uint8_t channel);
SENVOY_API int ANTBSD_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint8_t reserved0[4];
    uint8_t kind; /* 1, 2: page 172; 3: page 1 with word6; 4: page 4 with word8; 5: page 35 with byte10 */
    uint8_t reserved1;
    uint16_t word6;
    uint16_t word8;
    uint8_t byte10;
    uint8_t reserved2;
} ANTBSDCommand;
SENVOY_API int ANTBSD_SET_CMD(uint8_t channel, const ANTBSDCommand* command);
SENVOY_API int ANTGNS_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTGNS_Disconnect(uint8_t channel);
SENVOY_API int ANTGNS_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint8_t reserved0[4];
    uint8_t kind; /* 1, 2: page 172; 3, 4, 5: page 220 sub-pages 1, 2, 4 */
    uint8_t select; /* kind 3: nonzero sends word12, else word8 */
    uint16_t reserved1;
    uint16_t word8;
    uint16_t reserved2;
    uint16_t word12;
    uint8_t byte14;
    uint8_t byte15;
    uint16_t word16;
    uint16_t word18;
    uint8_t byte20;
    uint8_t reserved3[3];
} ANTGNSCommand;
SENVOY_API int ANTGNS_SET_CMD(uint8_t channel, const ANTGNSCommand* command);

/* SMANO, TRN and VTX devices on channel 0-7. */
SENVOY_API int ANTSMANO_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTSMANO_Disconnect(uint8_t channel);
SENVOY_API int ANTSMANO_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint32_t reserved;
    uint32_t ebe; /* kept for page 128 */
} ANTSMANOSettings;
/* Stores the value; 0 when the channel holds no SMANO device. */
SENVOY_API int ANTSMANO_SETEBE(uint8_t channel, const ANTSMANOSettings* settings);
SENVOY_API int ANTTRN_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTTRN_Disconnect(uint8_t channel);
SENVOY_API int ANTTRN_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint32_t reserved;
    uint16_t word;
    uint8_t value;
    uint8_t reserved1;
} ANTTRNRequest;
/* Sends [word low, word high, value, 0 x 5] once to a device being received. */
SENVOY_API int ANTTRN_SendRequestedInfo(uint8_t channel, const ANTTRNRequest* request);
SENVOY_API int ANTVTX_Connect(uint8_t channel, uint16_t deviceNumber, uint8_t searchTimeout);
SENVOY_API int ANTVTX_Disconnect(uint8_t channel);
SENVOY_API int ANTVTX_ConfigureList(uint8_t channel, const uint16_t* deviceNumbers, uint8_t count, uint8_t exclude);
typedef struct {
    uint32_t reserved;
    uint16_t word4;
    uint8_t byte6;
    uint8_t byte7;
    uint8_t byte8;
    uint8_t reserved1;
    uint16_t word10;
} ANTVTXCommand;
/* Sends command page 16 once to a device being received. */
SENVOY_API int ANTVTX_SET_CMD(uint8_t channel, const ANTVTXCommand* command);

#ifdef __cplusplus
}
#endif

#endif
