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
