#include "platform/process.h"

#include "platform/paths.h"
#include "platform/types.h"

#include <spawn.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace ce {

bool launchProcess(const std::string& devicePath, const std::vector<std::string>& args)
{
    std::string file = resolvePath(devicePath);
    struct stat st;
    if (file.empty() || ::stat(file.c_str(), &st) != 0) {
        // The device names programs "x.exe"; the file here may lack the ending.
        if (file.size() > 4 && ::strcasecmp(file.c_str() + file.size() - 4, ".exe") == 0) {
            std::string bare = resolvePath(devicePath.substr(0, devicePath.size() - 4));
            if (::stat(bare.c_str(), &st) == 0)
                file = bare;
        }
    }
    if (file.empty() || ::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(file.c_str(), X_OK) != 0) {
        setLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    // The child's environment: this one, with the device root made explicit
    // (built aside, since changing this process's environment is not safe
    // while other threads may read it).
    std::vector<std::string> env { "KIVO_DEVICE_ROOT=" + deviceRoot() };
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "KIVO_DEVICE_ROOT=", 17) != 0)
            env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(file.c_str()));
    for (auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
        setLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    // Reap the child when it ends so no zombie is left behind.
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    }).detach();
    return true;
}

} // namespace ce
