#include "tests/support/temp_root.h"

#include "platform/paths.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kivo::test {

TempDeviceRoot::TempDeviceRoot()
{
    m_previous = ce::deviceRoot();
    std::string tmpl = (std::filesystem::temp_directory_path() / "kivo-root-XXXXXX").string();
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
    ce::setDeviceRoot(m_path);
}

TempDeviceRoot::~TempDeviceRoot()
{
    ce::setDeviceRoot(m_previous);
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string TempDeviceRoot::writeFile(const std::string& devicePath, const std::string& content) const
{
    std::string p = ce::resolvePath(devicePath, true);
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f << content;
    return p;
}

std::string TempDeviceRoot::readFile(const std::string& devicePath) const
{
    std::ifstream f(ce::resolvePath(devicePath), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

} // namespace kivo::test
