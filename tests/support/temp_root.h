// A fresh, empty device root for one test, removed afterwards.
#pragma once

#include <string>

namespace kivo::test {

class TempDeviceRoot {
public:
    TempDeviceRoot();
    ~TempDeviceRoot();
    const std::string& path() const { return m_path; }
    // Writes a file at a device path (folders created), returns its Linux path.
    std::string writeFile(const std::string& devicePath, const std::string& content) const;
    std::string readFile(const std::string& devicePath) const;

private:
    std::string m_path;
    std::string m_previous;
};

} // namespace kivo::test
