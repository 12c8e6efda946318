#include "bt/ui/screen_hooks.h"

namespace kivo::bt {

ScreenHooks& Screens()
{
    static ScreenHooks hooks;
    return hooks;
}

CallRecord& SavedCallRecord()
{
    static CallRecord record {};
    return record;
}

bool SavedCallPresent()
{
    const CallRecord& r = SavedCallRecord();
    return r.name[0] != 0 || r.number[0] != 0;
}

} // namespace kivo::bt
