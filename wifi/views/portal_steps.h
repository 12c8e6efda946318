// What the searching and connecting screens share once a join has connected:
// the internet and captive-portal probe started without a keeper, the
// captive-portal browser, and AutoSync.ini.
#pragma once

#include <QString>

namespace kivowifi {

// The device path the screens start the captive-portal browser by.
constexpr const char* PORTAL_BROWSER_PATH = "SystemDrive\\Falmo\\program\\wifi\\browser\\zk_launcher.exe";

// Starts a new probe thread (which stops the one before). Nobody keeps it:
// it deletes itself once its thread has ended.
void startPortalProbe();
// Probes started by startPortalProbe that are not deleted yet.
int livePortalProbes();

// Starts the captive-portal browser; false when it could not be started.
bool launchPortalBrowser();

// Replaces AutoSync.ini (the program's directory) by "WifiSyncOnOff=1" or
// "=0", without section or line end; false when it cannot be written.
bool writeAutoSync(bool on);

// A network name as a screen shows it: whole up to 15 characters, else its
// first 12 and "...".
QString shortNetworkName(const QString& name);

} // namespace kivowifi
