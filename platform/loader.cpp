#include "platform/loader.h"

#include "platform/debug.h"
#include "platform/paths.h"

#include <dirent.h>
#include <dlfcn.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <set>
#include <vector>

namespace ce {

struct ModuleTag {
    void* dl;
};

namespace {

std::mutex g_mutex;
std::vector<std::string> g_searchPaths;
// Never destroyed: a library loaded for the life of the process stays known
// (and reachable) through the end of static destruction.
std::set<ModuleTag*>& g_modules = *new std::set<ModuleTag*>;

std::string exeFolder()
{
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return {};
    std::string p(buf, size_t(n));
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash);
}

// The file in folder named like wanted (".so" or "lib...so"), case aside.
std::string findIn(const std::string& folder, const std::string& base)
{
    if (folder.empty())
        return {};
    DIR* d = ::opendir(folder.c_str());
    if (!d)
        return {};
    std::string a = base + ".so", b = "lib" + base + ".so", found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, a.c_str()) == 0 || ::strcasecmp(e->d_name, b.c_str()) == 0) {
            found = folder + "/" + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

} // namespace

void addLibrarySearchPath(const std::string& linuxFolder)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_searchPaths.push_back(linuxFolder);
}

HMODULE loadLibrary(const std::string& deviceName)
{
    std::string name = deviceName;
    std::string deviceFolder;
    auto sep = name.find_last_of("\\/");
    if (sep != std::string::npos) {
        deviceFolder = name.substr(0, sep);
        name = name.substr(sep + 1);
    }
    std::string base = name;
    if (base.size() > 4 && ::strcasecmp(base.c_str() + base.size() - 4, ".dll") == 0)
        base.resize(base.size() - 4);
    else if (base.size() > 3 && ::strcasecmp(base.c_str() + base.size() - 3, ".so") == 0)
        base.resize(base.size() - 3);
    if (base.empty()) {
        setLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }

    std::vector<std::string> folders;
    if (!deviceFolder.empty())
        folders.push_back(resolvePath(deviceFolder));
    folders.push_back(resolvePath(programDirectory()));
    folders.push_back(exeFolder());
    if (const char* env = std::getenv("KIVO_LIBRARY_PATH")) {
        std::string s = env, cur;
        for (char c : s + ":") {
            if (c == ':') {
                if (!cur.empty())
                    folders.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        }
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        folders.insert(folders.end(), g_searchPaths.begin(), g_searchPaths.end());
    }

    for (auto& folder : folders) {
        std::string file = findIn(folder, base);
        if (file.empty())
            continue;
        void* dl = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!dl) {
            debugPrintf("loadLibrary(%s): %s", deviceName.c_str(), ::dlerror());
            continue;
        }
        auto* m = new ModuleTag { dl };
        std::lock_guard<std::mutex> lock(g_mutex);
        g_modules.insert(m);
        return m;
    }
    setLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

namespace {

// Looks up a symbol of a module still loaded; the lock keeps freeLibrary
// from unloading it meanwhile. Null with the last error set otherwise.
void* findSymbol(HMODULE module, const char* name)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!module || !g_modules.count(module)) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* p = ::dlsym(module->dl, name);
    if (!p)
        setLastError(ERROR_PROC_NOT_FOUND);
    return p;
}

} // namespace

void* getProcAddress(HMODULE module, const char* name)
{
    if (!name) {
        setLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return findSymbol(module, name);
}

void* getProcAddressOrdinal(HMODULE module, uint16_t ordinal)
{
    auto* table = static_cast<const KivoOrdinalEntry*>(findSymbol(module, "KivoOrdinalTable"));
    if (!table)
        return nullptr;
    for (; table->ordinal != 0; ++table)
        if (table->ordinal == ordinal && table->function)
            return table->function;
    setLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL freeLibrary(HMODULE module)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (!module || !g_modules.erase(module)) {
            setLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
    }
    ::dlclose(module->dl);
    delete module;
    return 1;
}

} // namespace ce
