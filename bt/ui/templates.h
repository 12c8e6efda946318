// KivoBT's dialog templates: where each control of each screen sits.
#pragma once

namespace kivo::bt {

// Registers every screen's template with the dialog layer (once).
void RegisterScreenTemplates();

} // namespace kivo::bt
