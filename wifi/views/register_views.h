// Plugs KivoWiFi's screens into the flow (each view id gets its screen in
// place of a placeholder). Called by main before the flow is created.
#pragma once

namespace kivowifi {

void registerViews();

} // namespace kivowifi
