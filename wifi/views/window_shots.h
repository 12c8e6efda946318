// Demo only: a picture of KivoWiFi's window each time the screen shown or one
// of the texts on it changes, for following a run of the program that no one
// watches (the offscreen platform). Not used unless the program is asked to.
#pragma once

#include <QString>

class KivoWiFiFlow;

namespace kivowifi {

// From now on saves the flow's window as <folder>/NNN-view<id>.png whenever
// the current view or a text of its visible labels changes, and appends one
// line per picture to <folder>/shots.txt (the file name, the view and the
// texts). The folder is made when missing; false when it cannot be.
bool startWindowShots(KivoWiFiFlow* flow, const QString& folder);

} // namespace kivowifi
