// The intervals of the screens' timers. They share zyrControls' test-only
// time scale, so one setting speeds up every timer a screen test waits for;
// in the program the scale is 1.
#pragma once

#include "controls/core/LibraryInternal.h"

namespace kivowifi {

inline int screenInterval(int ms)
{
    return ZyrelleControls::Internal::ScaledDuration(ms);
}

} // namespace kivowifi
