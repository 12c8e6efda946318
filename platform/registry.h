// The registry: keys under HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE holding
// string and 32-bit values. Kept in one file under the device root
// (<root>/registry.txt) and safe for several processes: every change takes
// a file lock, re-reads the file, and replaces it by rename. Creating a key
// creates the keys above it, as on the device.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ce::reg {

enum class Root { CurrentUser, LocalMachine };

// Key paths use "\" or "/" between components and match without regard to
// case, as on the device. Names and values are UTF-8.
bool createKey(Root root, const std::string& key);
bool keyExists(Root root, const std::string& key);
// Deletes the key with all its values and sub-keys.
bool deleteKey(Root root, const std::string& key);
// Deletes every value and sub-key of the key, keeping the key itself.
bool clearKey(Root root, const std::string& key);

std::optional<std::string> getString(Root root, const std::string& key, const std::string& name);
std::optional<uint32_t> getDword(Root root, const std::string& key, const std::string& name);
// Creates the key when missing.
bool setString(Root root, const std::string& key, const std::string& name, const std::string& value);
bool setDword(Root root, const std::string& key, const std::string& name, uint32_t value);
bool deleteValue(Root root, const std::string& key, const std::string& name);

std::vector<std::string> valueNames(Root root, const std::string& key);
std::vector<std::string> subKeys(Root root, const std::string& key);

// A change waits at most this long for another process's change (5 s);
// then it is refused with ERROR_SHARING_VIOLATION. Tests only: 0 restores.
void setLockWaitForTests(uint32_t ms);

// "HKEY_CURRENT_USER\Comm\EAPOL" -> (CurrentUser, "Comm\EAPOL"); also takes
// the short forms HKCU and HKLM. Nothing for another root.
std::optional<std::pair<Root, std::string>> splitPath(const std::string& fullPath);

} // namespace ce::reg
