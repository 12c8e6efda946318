// Device paths ("/SystemDrive/Falmo/Program/WiFi/Log/...") as files on this
// machine, for the sync engine's Qt file classes.
#pragma once

#include <QString>

namespace kivo::sync {

// The local file behind a device path (folder names matched without regard
// to case); empty for an empty path.
QString localPath(const QString& devicePath);

// Creates the device folder with every missing parent; false when it still
// does not exist afterwards.
bool makeDevicePath(const QString& devicePath);

// The device folder the program runs from (its bare file names resolve there).
QString applicationDirectory();

} // namespace kivo::sync
