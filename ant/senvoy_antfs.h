/* Senvoy's ANT-FS exports: the client, the host and directory images.
 * Functions return 1 on success and 0 on failure unless said otherwise;
 * requests to a client or host engine return 2 while another request of
 * the engine is still pending. */
#ifndef SENVOY_ANTFS_H
#define SENVOY_ANTFS_H

#include "ant/senvoy.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ANT-FS events reach a window as the registered message of the client
 * ("WM_ANTPLUS_FS_CLINET") or of the host, with the event code as wParam and
 * its parameter as lParam, or, without a window, this callback on the
 * library's event thread: (message id, event code, parameter, context). */
typedef void (*ANTFSEventCallback)(uint32_t message, uint32_t code, uintptr_t parameter, void* context);

/* ---- Client ----------------------------------------------------------------
 * Events: 201 beacon open, 202 a host linked, 203 the host disconnected (the
 * beacon is then closed), 204 link time-out, 205 serial number and name sent,
 * 206 authentication accepted, 207 rejected, 208 the host asks to pair
 * (answer with ANTFSClient_AcceptPair), 209 a pairing not answered in time
 * was rejected, 211 download sent, 212 download refused (invalid request or
 * wrong CRC seed), 213 no such file or no data, 214 not downloadable,
 * 215 not ready, 216 download failed, 219 upload refused, 223 upload failed,
 * 224 erase request with the file index (answer with
 * ANTFSClient_SendEraseResponse), 225 erased, 226 erase refused, 227 the
 * erase answer was not sent, 228 cancelled or a radio command failed (the
 * client is idle, without beacon), 229 beacon closed. */

/* The client configuration (588 bytes, little-endian). */
typedef struct ANTFSClientConfig {
    uint32_t serialNumber; /* its low 16 bits, when not 0, are the channel device number */
    uint16_t deviceType;
    uint16_t manufacturerId; /* not read: the beacon always shows 59 */
    uint8_t beaconRfFrequency; /* MHz above 2400 */
    uint8_t beaconPeriodCode; /* 0 0.5 Hz, 1 1 Hz, 2 2 Hz, 3 4 Hz, 4 8 Hz */
    uint8_t reserved1[2];
    uint32_t pairingEnabled;
    uint32_t uploadEnabled;
    uint32_t dataAvailable;
    uint8_t authenticationType; /* 0 pass-through, 1 serial, 2 pairing only, 3 passkey and pairing */
    uint8_t linkTimeoutSeconds; /* 1-254; 255 none */
    uint8_t pairingTimeoutSeconds;
    uint8_t reserved2[561];
} ANTFSClientConfig;

/* Asked for the file a host wants: hand back the whole file in *data and
 * *length (it must stay valid until the download has ended), or no data
 * to refuse it. On the client's event thread. */
typedef void (*ANTFSGetFileDataCallback)(uint16_t fileIndex, uint32_t offset, uint32_t maxBlockSize,
    const uint8_t** data, uint32_t* length);

/* Init makes the client and its event thread; events go to hwnd. 1 also
 * when a client exists already (nothing changes then). */
SENVOY_API int ANTFSClient_Init(void* hwnd);
SENVOY_API int ANTFSClient_InitEx(void* context, ANTFSEventCallback callback);
/* 0 without a client, 1 for null (nothing done); else whether the client
 * took it (not once a host has linked; not pairing-only authentication with
 * pairing enabled; not a link time-out of 0). */
SENVOY_API int ANTFSClient_Config(const ANTFSClientConfig* config);
/* Serves channel 0-7 of the radio ANTLIB_Init started; 0 without it. */
SENVOY_API int ANTFSClient_Open(uint8_t channel);
SENVOY_API int ANTFSClient_Close(void);
SENVOY_API int ANTFSClient_OpenBeacon(void);
SENVOY_API int ANTFSClient_CloseBeacon(void);
SENVOY_API int ANTFSClient_AcceptPair(int accept);
/* 0 erased, non-zero refused. */
SENVOY_API int ANTFSClient_SendEraseResponse(uint8_t code);
SENVOY_API void ANTFSClient_SetGetFileDataCallback(ANTFSGetFileDataCallback callback);
SENVOY_API void ANTFSClient_Deinit(void);
SENVOY_API void ANTFSClient_DeinitEx(void);

/* ---- Host ------------------------------------------------------------------
 * Events: 101 download done (parameter: the file index, saved as
 * "<save path><index>.dat", or 0 for a directory, read it with
 * ANTFSHost_GetDirectoryData), 102 download refused, 103 download failed or
 * the file could not be saved, 104 download progress (percent), 105 upload
 * done, 106 upload refused, 107 upload failed, 108 upload progress,
 * 109 authentication accepted, 110 rejected (the host has disconnected),
 * 111 no answer, 112 an unknown answer, 113 link lost, 114 disconnected,
 * 115 a client was found (parameter: its ANTFSHostDeviceInfo), 116 erased,
 * 117 erase failed, 118 cancelled or a radio command failed, 119-121
 * download refused: no such file, not downloadable, not ready, 122-124
 * upload refused likewise. */

/* The host configuration (844 bytes, little-endian). */
typedef struct ANTFSHostConfig {
    uint8_t reserved0[2];
    uint8_t reserved2; /* 1 */
    uint8_t reserved3;
    uint8_t reserved4; /* 50 */
    uint8_t pad5[3];
    uint8_t reserved8; /* 1 */
    uint8_t pad9[3];
    uint8_t reserved12;
    uint8_t networkKey[8]; /* not read */
    uint8_t pad21[3];
    uint32_t reserved24;
    uint32_t reserved28; /* 1 */
    char friendlyName[256]; /* zero-terminated, sent with a pairing request */
    uint8_t disconnectDuration;
    uint8_t disconnectAppDuration;
    uint8_t pad290[2];
    uint32_t maxBlockSize; /* 0: none */
    uint8_t reserved296[256];
    uint8_t reserved552[32];
    uint8_t pad584;
    uint8_t passkey[256]; /* the stored passkey, replaced by an accepted pairing */
    uint8_t passkeyLength;
    uint8_t reserved842[2];
} ANTFSHostConfig;

/* A found client (276 bytes), handed with event 115; the library's, and
 * overwritten by the next event 115. */
typedef struct ANTFSHostDeviceInfo {
    uint16_t manufacturerId;
    uint16_t deviceType;
    uint32_t serialNumber;
    uint16_t channelDeviceNumber;
    char friendlyName[258];
    uint32_t dataAvailable; /* 32 when set */
    uint32_t uploadEnabled; /* 16 when set */
} ANTFSHostDeviceInfo;

SENVOY_API int ANTFSHost_Init(void* hwnd);
SENVOY_API int ANTFSHost_InitEx(void* context, ANTFSEventCallback callback);
SENVOY_API int ANTFSHost_Config(const ANTFSHostConfig* config);
SENVOY_API int ANTFSHost_Open(uint8_t channel);
SENVOY_API int ANTFSHost_Close(void);
/* Searches for any client (only while the radio is open). */
SENVOY_API int ANTFSHost_Search(void);
SENVOY_API int ANTFSHost_SearchEx(uint16_t deviceNumber);
SENVOY_API int ANTFSHost_Cancel(void);
/* Asks to pair; the client's passkey comes back into buffer (up to length
 * bytes, at most 255), which must stay valid until event 109-112. */
SENVOY_API int ANTFSHost_Pair(uint8_t* buffer, uint32_t length);
SENVOY_API int ANTFSHost_Passkey(void);
SENVOY_API int ANTFSHost_PassThru(void);
SENVOY_API int ANTFSHost_Directory(void);
SENVOY_API int ANTFSHost_Download(uint32_t fileIndex, uint32_t size, uint32_t offset);
SENVOY_API int ANTFSHost_Upload(uint32_t fileIndex, uint32_t size, const uint8_t* data);
SENVOY_API int ANTFSHost_Erase(uint32_t fileIndex);
SENVOY_API int ANTFSHost_Disconnect(void);
SENVOY_API int ANTFSHost_ReturnBroadcast(void);
SENVOY_API int ANTFSHost_SetTime(const uint8_t* time4);
SENVOY_API const void* ANTFSHost_GetDirectoryData(void);
/* A device folder ending in a separator; at most 260 characters. */
SENVOY_API int ANTFSHost_SetSaveFilePath(const char* path, uint32_t length);
SENVOY_API int ANTHost_AddChannelID(uint8_t channel, uint16_t deviceNumber, uint8_t deviceType,
    uint8_t transmissionType, uint8_t listIndex);
SENVOY_API int ANTHost_ConfigListID(uint8_t channel, uint8_t listSize, uint8_t exclude);
SENVOY_API void ANTFSHost_Deinit(void);
SENVOY_API void ANTFSHost_DeinitEx(void);

/* ---- Directory images ---------------------------------------------------
 * A 16-byte header (version 1, entry length 16, time format 0, five zero
 * bytes, system time u32, date u32) and count entries of 16 bytes: data file
 * index u16 (0 = free), data type, sub type, file number u16, data-type
 * flags, general flags (bit 7 readable, bit 4 archived), size u32, date u32.
 * Multi-byte fields are little-endian. count is trusted: the image must hold
 * that many entries. */

/* A zeroed image of count entries numbered 1..count; *size gets its length.
 * Null for a null size, a count below 0 or too large, or no memory. Free it
 * with ANTFSDir_DeleteDirectory. */
SENVOY_API void* ANTFSDir_NewDirectory(int32_t count, uint32_t systemTime, uint32_t date, uint32_t* size);
/* Copies the 16 bytes of entry over the first entry whose index is
 * fileIndex (its index too). */
SENVOY_API int ANTFSDir_SetFileEntry(void* image, int32_t count, uint16_t fileIndex, const void* entry);
/* Copies the first entry whose index is fileIndex into out (16 bytes). */
SENVOY_API int ANTFSDir_GettFileEntry(const void* image, uint8_t count, uint16_t fileIndex, void* out);
/* Frees the first entry whose index is fileIndex (its index becomes 0). */
SENVOY_API int ANTFSDir_DeleteFileEntry(void* image, int32_t count, uint16_t fileIndex);
SENVOY_API void ANTFSDir_DeleteDirectory(void* image);

#ifdef __cplusplus
}
#endif

#endif
