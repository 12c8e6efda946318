// The plug-in's two entry points and its one layout object.
#include "keyboard_layouts/english/LettrixContainer.h"

namespace {

// Constant-initialised: no code runs when the plug-in is mapped.
LettrixContainer g_layout;
const char* const kLayoutName = "LettrixContainer";

} // namespace

extern "C" {

Q_DECL_EXPORT int RegisterLayout(zyrLayoutFactory* factory)
{
    if (factory)
        factory->registerLayout(kLayoutName, &g_layout);
    return 1;
}

Q_DECL_EXPORT int UnregisterLayout(zyrLayoutFactory* factory)
{
    if (factory)
        factory->unregisterLayout(kLayoutName, &g_layout);
    return 1;
}

} // extern "C"
