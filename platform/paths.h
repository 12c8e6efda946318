// The device root: every device path ("\SystemDrive\Falmo\program\wifi\x.ini",
// "/DataDrive/Falmo/Tracks", "SystemDrive\...", or a bare "x.ini") resolves to
// a file inside one folder on this machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ce {

// KIVO_DEVICE_ROOT if set, else ".kivo-device" in the account's home folder
// (HOME, else the account database). Created on first use. Absolute, without
// a trailing slash.
std::string deviceRoot();

// Tests and tools may point the layer at another root (same as setting
// KIVO_DEVICE_ROOT before the first call).
void setDeviceRoot(const std::string& linuxPath);

// The calling program's own directory on the device, used for bare and
// relative names. Default "\SystemDrive".
void setProgramDirectory(const std::string& devicePath);
std::string programDirectory();

// Resolves a device path to a path on this machine inside the device root.
// "\" and "/" are alike; each component is matched without regard to case
// against what exists, and keeps the spelling given when nothing matches.
// A path without a leading separator whose first component is not a drive
// of the device ("SystemDrive" or "DataDrive") is relative to the
// program directory. ".." never climbs above the root. Empty result (and
// ERROR_PATH_NOT_FOUND) when the path is empty.
// With createParents, the folders leading to the last component are created.
std::string resolvePath(const std::string& devicePath, bool createParents = false);

// Like resolvePath, and creates the folder itself too.
std::string ensureDirectory(const std::string& devicePath);

// Free bytes on the drive holding devicePath (statvfs), or the override set
// for that drive's first component ("SystemDrive", "DataDrive").
std::optional<uint64_t> freeSpace(const std::string& devicePath);
void setFreeSpaceOverride(const std::string& drive, std::optional<uint64_t> bytes);

// Sets the calling thread's last error (getLastError) to the device's code
// for a failed file call's errno: a full drive, an existing name, a missing
// or a forbidden path, a name too long; ERROR_GEN_FAILURE for the rest.
void setLastErrorFromErrno(int error);

// Replaces the file at a path on this machine with the given bytes, whole:
// they go to a temporary file of its own beside it ("<path>.<pid>-<n>.tmp",
// made new and locked by the writer until it is renamed), are flushed to the
// disk and then renamed over the file, so a kill or a full drive part-way
// leaves the old file as it was, and writers of one file at the same time
// each put a whole file in place. What killed writers of the file left is
// removed first (removeStaleTemporaries). 0 on success, else the errno of
// the step that failed (the temporary file is then gone).
int replaceFileWhole(const std::string& linuxPath, const void* data, size_t size);
// Removes what killed writers of the file at a path left beside it: the
// temporary files of replaceFileWhole that no writer holds locked (a live
// writer's stays, whatever process or PID namespace it runs in), and the one
// fixed "<path>.tmp" of earlier versions. The number removed.
int removeStaleTemporaries(const std::string& linuxPath);

// The folder for run-time endpoints (sockets) of one device root.
std::string runDirectory();

} // namespace ce
