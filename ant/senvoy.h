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

#ifdef __cplusplus
}
#endif

#endif
