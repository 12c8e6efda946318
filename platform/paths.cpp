#include "platform/paths.h"

#include "platform/text.h"
#include "platform/types.h"

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

namespace ce {

namespace {

std::mutex g_mutex;
std::string g_root;
std::string g_programDir = "\\SystemDrive";
std::map<std::string, std::optional<uint64_t>> g_freeOverrides; // key: lower-case drive

std::string lower(const std::string& s)
{
    return detail::asciiLower(s);
}

std::vector<std::string> splitComponents(const std::string& path)
{
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    return parts;
}

// The drives of the device; any other first component of a name without a
// leading separator ("OneDrive\x") is a folder of the program directory.
bool isDriveName(const std::string& component)
{
    std::string l = lower(component);
    return l == "systemdrive" || l == "datadrive";
}

// The account's home folder: HOME, else the account database. Never a
// folder shared by all accounts, where another account could prepare the
// device's files and names first.
std::string accountHome()
{
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    std::vector<char> buf(16384);
    passwd pw {};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir
        && *found->pw_dir)
        return found->pw_dir;
    // No home at all: a folder of this account alone in the temporary folder.
    std::string own = "/tmp/kivo-device-" + std::to_string(::getuid());
    ::mkdir(own.c_str(), 0700);
    struct stat st {};
    if (::lstat(own.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()
        || (st.st_mode & 077) != 0)
        std::fprintf(stderr, "device root: %s is not a private folder of this account\n", own.c_str());
    return own;
}

std::string rootLocked()
{
    if (g_root.empty()) {
        const char* env = std::getenv("KIVO_DEVICE_ROOT");
        if (env && *env) {
            g_root = env;
        } else {
            g_root = accountHome() + "/.kivo-device";
        }
        std::error_code ec;
        std::filesystem::create_directories(g_root, ec);
        g_root = std::filesystem::absolute(g_root, ec).lexically_normal().string();
        while (g_root.size() > 1 && g_root.back() == '/')
            g_root.pop_back();
    }
    return g_root;
}

// Finds the entry of dir named like component, exact spelling first.
std::string matchEntry(const std::string& dir, const std::string& component, bool* exists)
{
    struct stat st;
    std::string exact = dir + "/" + component;
    if (::lstat(exact.c_str(), &st) == 0) {
        *exists = true;
        return component;
    }
    *exists = false;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return component;
    std::string found = component;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, component.c_str()) == 0) {
            found = e->d_name;
            *exists = true;
            break;
        }
    }
    ::closedir(d);
    return found;
}

// The components of a device path below the root, "." and ".." applied (the
// latter never above the root), relative paths joined to the program
// directory. A path ends at its first NUL, as the device's file calls see it.
std::vector<std::string> logicalComponents(std::string devicePath, const std::string& programDir)
{
    devicePath.resize(std::min(devicePath.size(), devicePath.find('\0')));
    std::vector<std::string> given = splitComponents(devicePath);
    bool absolute = (!devicePath.empty() && (devicePath[0] == '\\' || devicePath[0] == '/'))
        || (!given.empty() && isDriveName(given[0]));
    std::vector<std::string> parts = absolute ? std::vector<std::string> {} : splitComponents(programDir);
    for (auto& c : given)
        parts.push_back(c);

    std::vector<std::string> stack;
    for (auto& c : parts) {
        if (c == ".")
            continue;
        if (c == "..") {
            if (!stack.empty())
                stack.pop_back();
            continue;
        }
        stack.push_back(c);
    }
    return stack;
}

} // namespace

std::string deviceRoot()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return rootLocked();
}

void setDeviceRoot(const std::string& linuxPath)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_root.clear();
    }
    ::setenv("KIVO_DEVICE_ROOT", linuxPath.c_str(), 1);
}

void setProgramDirectory(const std::string& devicePath)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_programDir = devicePath;
}

std::string programDirectory()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_programDir;
}

std::string resolvePath(const std::string& devicePath, bool createParents)
{
    if (devicePath.empty() || devicePath[0] == '\0') {
        setLastError(ERROR_PATH_NOT_FOUND);
        return {};
    }
    std::string root;
    std::vector<std::string> stack;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        root = rootLocked();
        stack = logicalComponents(devicePath, g_programDir);
    }

    std::string out = root;
    bool existing = true;
    for (size_t i = 0; i < stack.size(); ++i) {
        std::string name = stack[i];
        if (existing)
            name = matchEntry(out, stack[i], &existing);
        out += "/" + name;
        if (createParents && i + 1 < stack.size() && !existing) {
            ::mkdir(out.c_str(), 0777);
            existing = true;
        }
    }
    return out;
}

std::string ensureDirectory(const std::string& devicePath)
{
    std::string p = resolvePath(devicePath, true);
    if (!p.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(p, ec);
    }
    return p;
}

std::optional<uint64_t> freeSpace(const std::string& devicePath)
{
    {
        // The drive is the first component the path resolves to, for a
        // relative name that of the program directory.
        std::lock_guard<std::mutex> lock(g_mutex);
        std::vector<std::string> parts = logicalComponents(devicePath, g_programDir);
        auto it = parts.empty() ? g_freeOverrides.end() : g_freeOverrides.find(lower(parts[0]));
        if (it != g_freeOverrides.end() && it->second)
            return it->second;
    }
    std::string p = resolvePath(devicePath);
    // Walk up to the nearest existing folder.
    std::filesystem::path fp(p);
    std::error_code ec;
    while (!fp.empty() && !std::filesystem::exists(fp, ec))
        fp = fp.parent_path();
    struct statvfs st;
    if (fp.empty() || ::statvfs(fp.c_str(), &st) != 0) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return uint64_t(st.f_bavail) * uint64_t(st.f_frsize);
}

void setFreeSpaceOverride(const std::string& drive, std::optional<uint64_t> bytes)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (bytes)
        g_freeOverrides[lower(drive)] = bytes;
    else
        g_freeOverrides.erase(lower(drive));
}

void setLastErrorFromErrno(int error)
{
    switch (error) {
    case 0:
        setLastError(ERROR_SUCCESS);
        break;
    case ENOSPC:
    case EDQUOT:
        setLastError(ERROR_DISK_FULL);
        break;
    case EEXIST:
        setLastError(ERROR_FILE_EXISTS);
        break;
    case ENOENT:
        setLastError(ERROR_FILE_NOT_FOUND);
        break;
    case ENOTDIR:
        setLastError(ERROR_PATH_NOT_FOUND);
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        setLastError(ERROR_ACCESS_DENIED);
        break;
    case ENAMETOOLONG:
        setLastError(ERROR_FILENAME_EXCED_RANGE);
        break;
    default:
        setLastError(ERROR_GEN_FAILURE);
        break;
    }
}

std::string runDirectory()
{
    std::string dir = deviceRoot() + "/run";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

} // namespace ce
