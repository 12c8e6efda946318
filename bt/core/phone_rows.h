// What the phone controller window does with the core's internal messages
// and the clients' requests that open no screen: phone state and service
// availability, call states, send results, the phone book, the factory
// reset, the version and the emergency SMS. Heap records that come with a
// posted message are freed here, whether anything is done with them or not.
#pragma once

#include "platform/wm.h"

namespace kivo::bt {

// The version text answered to WM_BTIN_BT_VERSION, in its 128-byte buffer.
const char16_t* VersionText();
constexpr ce::LPARAM kVersionTextBytes = 128;

// True when the message is one of these rows (its result in *result).
bool HandlePhoneRow(ce::HWND self, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam, ce::LRESULT* result);

} // namespace kivo::bt
