#include "wifi/sync/testfaults.h"

#include <cstring>
#include <stdexcept>
#include <string>

namespace kivo::sync {

namespace {
std::string g_armed;
CopyFaults g_copyFaults;
}

void raiseTestFault(const char* operation)
{
    if (g_armed.empty() || std::strcmp(operation, g_armed.c_str()) != 0)
        return;
    g_armed.clear();
    throw std::runtime_error(std::string("test fault in ") + operation);
}

void armTestFault(const char* operation)
{
    g_armed = operation ? operation : "";
}

void setCopyFaultsForTesting(const CopyFaults& faults)
{
    g_copyFaults = faults;
}

const CopyFaults& copyFaults()
{
    return g_copyFaults;
}

} // namespace kivo::sync
