#include "bt/core/bt_messages.h"

#include "platform/wm.h"

namespace kivo::bt {

#define KIVO_BT_DEFINE(name) const ce::UINT name = ce::registerWindowMessage(#name);
KIVO_BT_MESSAGES(KIVO_BT_DEFINE)
#undef KIVO_BT_DEFINE

} // namespace kivo::bt
