// The captive-portal browser stand-in (see zk_launcher_sim.h).
#include "sim/zk_launcher/zk_launcher_sim.h"

#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"

#include <fstream>
#include <string>

namespace {

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

struct Config {
    std::string result = "success";
    int delayMs = kivo::sim::ZK_LAUNCHER_DEFAULT_DELAY_MS;
    std::string target = "broadcast";
};

Config readConfig()
{
    Config config;
    std::ifstream in(ce::resolvePath(kivo::sim::ZK_LAUNCHER_CONFIG));
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (key == "result") {
            config.result = value;
        } else if (key == "delay_ms") {
            if (!value.empty() && value.size() < 8 && value.find_first_not_of("0123456789") == std::string::npos)
                config.delayMs = std::stoi(value);
        } else if (key == "target" && !value.empty()) {
            config.target = value;
        }
    }
    return config;
}

void record(const std::string& line)
{
    std::ofstream out(ce::resolvePath(kivo::sim::ZK_LAUNCHER_LOG, true), std::ios::app);
    out << line << "\n";
}

} // namespace

int main(int argc, char** argv)
{
    std::string started = "started";
    for (int i = 1; i < argc; ++i)
        started += std::string(" ") + argv[i];
    record(started);

    Config config = readConfig();
    const char* name = nullptr;
    if (config.result == "success") {
        name = kivo::sim::BROWSER_LOGIN_SUCCESS_MESSAGE;
    } else if (config.result == "unfinished") {
        name = kivo::sim::BROWSER_LOGIN_UNFINISHED_MESSAGE;
    } else if (config.result != "none") {
        record("unknown result '" + config.result + "': nothing posted");
        return 2;
    }
    if (config.delayMs > 0)
        ce::sleep(ce::DWORD(config.delayMs));
    if (!name) {
        record("nothing posted");
        return 0;
    }

    ce::UINT message = ce::registerWindowMessage(name);
    ce::HWND window = nullptr;
    if (config.target == "broadcast") {
        window = ce::HWND_BROADCAST;
    } else if (config.target.rfind("title:", 0) == 0) {
        window = ce::findWindow(nullptr, config.target.substr(6).c_str());
    } else if (config.target.rfind("class:", 0) == 0) {
        window = ce::findWindow(config.target.substr(6).c_str(), nullptr);
    }
    if (!message || !window) {
        record(std::string("not posted ") + name + " to " + config.target + ": no such window");
        return 1;
    }
    if (!ce::postMessage(window, message, 0, 0)) {
        record(std::string("not posted ") + name + " to " + config.target);
        return 1;
    }
    record(std::string("posted ") + name + " to " + config.target);
    return 0;
}
