// Dynamic loading by the device's file names. "wzcsapi.dll" resolves to the
// shared object "wzcsapi.so" built by this project (the name is matched
// without regard to case), searched in the program's own device directory,
// then the folder of the running executable, then KIVO_LIBRARY_PATH
// (colon-separated) and the folders given to addLibrarySearchPath.
#pragma once

#include "platform/types.h"

#include <string>

namespace ce {

struct ModuleTag;
using HMODULE = ModuleTag*;

// Null with ERROR_MOD_NOT_FOUND when no file is found or it cannot be loaded.
HMODULE loadLibrary(const std::string& deviceName);
// Null with ERROR_PROC_NOT_FOUND when the export is missing.
void* getProcAddress(HMODULE module, const char* name);
// Exports by ordinal come from the table a stand-in library exports under
// the name "KivoOrdinalTable" (an array of KivoOrdinalEntry ended by
// ordinal 0). Null with ERROR_PROC_NOT_FOUND when missing.
void* getProcAddressOrdinal(HMODULE module, uint16_t ordinal);
BOOL freeLibrary(HMODULE module);

void addLibrarySearchPath(const std::string& linuxFolder);

} // namespace ce

extern "C" {
struct KivoOrdinalEntry {
    uint16_t ordinal;
    void* function;
};
}
