// The window directory: one file per process in <run>/wm, named
// "<pid>-<start time>", listing that process's windows. A process replaces
// its file atomically (write + rename) whenever its windows change and
// removes it at exit; a file whose process is gone (or whose pid now belongs
// to another process) is removed by whoever reads it.
#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/wm_internal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

namespace ce::wm {

namespace {

constexpr const char* kHeader = "kivo-wm 1";
constexpr size_t kMaxDirectoryFile = 1 << 20;

std::string directoryPath()
{
    std::string dir = runDirectory() + "/wm";
    ::mkdir(dir.c_str(), 0755);
    return dir;
}

// State and start time of a process, from /proc; false when it does not
// exist.
bool processStat(uint32_t pid, char* state, unsigned long long* startTime)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%u/stat", pid);
    std::ifstream f(path);
    if (!f)
        return false;
    std::string line;
    std::getline(f, line);
    size_t close = line.rfind(')');
    if (close == std::string::npos)
        return false;
    std::istringstream rest(line.substr(close + 1));
    std::string field;
    std::vector<std::string> fields;
    while (rest >> field && fields.size() < 20)
        fields.push_back(field);
    if (fields.size() < 20)
        return false;
    *state = fields[0].empty() ? '?' : fields[0][0];
    *startTime = std::strtoull(fields[19].c_str(), nullptr, 10);
    return true;
}

unsigned long long ownStartTime()
{
    static unsigned long long t = [] {
        char state;
        unsigned long long start = 0;
        processStat(uint32_t(::getpid()), &state, &start);
        return start;
    }();
    return t;
}

bool processAlive(uint32_t pid, unsigned long long startTime)
{
    char state;
    unsigned long long start;
    if (!processStat(pid, &state, &start))
        return false;
    return state != 'Z' && state != 'X' && start == startTime;
}

// Class names and titles are written as "=" followed by the text with every
// byte outside printable ASCII, "%" and "=" as %XX, so a field is one token.
std::string encode(const std::string& s)
{
    std::string r = "=";
    for (unsigned char c : s) {
        if (c > 0x20 && c < 0x7F && c != '%' && c != '=') {
            r += char(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            r += hex;
        }
    }
    return r;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool decode(const std::string& token, std::string* out)
{
    if (token.empty() || token[0] != '=')
        return false;
    out->clear();
    for (size_t i = 1; i < token.size(); ++i) {
        if (token[i] != '%') {
            out->push_back(token[i]);
            continue;
        }
        if (i + 2 >= token.size())
            return false;
        int hi = hexDigit(token[i + 1]), lo = hexDigit(token[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out->push_back(char(hi * 16 + lo));
        i += 2;
    }
    return true;
}

bool parseUnsigned(const std::string& s, int base, unsigned long long max, unsigned long long* out)
{
    if (s.empty() || s.size() > 20)
        return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(s.c_str(), &end, base);
    if (errno != 0 || end != s.c_str() + s.size() || v > max || s[0] == '-' || s[0] == '+')
        return false;
    *out = v;
    return true;
}

// Parses one directory file; false (with the reason) when anything is off.
bool parseFile(const std::string& content, uint32_t pid, unsigned long long startTime, std::vector<WindowInfo>* out,
    std::string* why)
{
    std::istringstream in(content);
    std::string line;
    if (!std::getline(in, line) || line != kHeader) {
        *why = "bad header";
        return false;
    }
    if (!std::getline(in, line)) {
        *why = "no process line";
        return false;
    }
    {
        std::istringstream p(line);
        std::string tag, spid, sstart, extra;
        unsigned long long vpid, vstart;
        if (!(p >> tag >> spid >> sstart) || (p >> extra) || tag != "process"
            || !parseUnsigned(spid, 10, 0xFFFFFFFFull, &vpid) || !parseUnsigned(sstart, 10, ~0ull, &vstart)
            || vpid != pid || vstart != startTime) {
            *why = "bad process line";
            return false;
        }
    }
    while (std::getline(in, line)) {
        std::istringstream w(line);
        std::string tag, shwnd, stop, stid, scls, stitle, extra;
        if (!(w >> tag >> shwnd >> stop >> stid >> scls >> stitle) || (w >> extra) || tag != "window") {
            *why = "bad window line";
            return false;
        }
        unsigned long long hwnd, top, tid;
        WindowInfo info;
        if (!parseUnsigned(shwnd, 16, ~0ull, &hwnd) || !parseUnsigned(stop, 10, 1, &top)
            || !parseUnsigned(stid, 10, 0xFFFFFFFFull, &tid) || !decode(scls, &info.className)
            || !decode(stitle, &info.title) || uint32_t(hwnd >> 32) != pid || uint32_t(hwnd) == 0) {
            *why = "bad window line";
            return false;
        }
        info.hwnd = reinterpret_cast<HWND>(uintptr_t(hwnd));
        info.topLevel = top != 0;
        info.threadId = uint32_t(tid);
        out->push_back(std::move(info));
    }
    return true;
}

struct Published {
    std::mutex mutex;
    std::set<std::string> files; // every file this process wrote, per root
    bool failing = false; // the last write failed
};

Published& published()
{
    static Published* p = new Published;
    return *p;
}

// Files found malformed, so each is reported once rather than on every look.
struct Reported {
    std::mutex mutex;
    std::set<std::string> keys;
};

void reportMalformed(const std::string& path, const std::string& why, off_t size, time_t mtime)
{
    static Reported* reported = new Reported; // never destroyed: other threads may look during exit
    std::string key = path + "#" + std::to_string(size) + "#" + std::to_string(mtime);
    std::lock_guard<std::mutex> lock(reported->mutex);
    if (reported->keys.insert(key).second)
        debugPrintf("window messages: ignored malformed window directory entry %s (%s)", path.c_str(), why.c_str());
}

} // namespace

bool publishWindows(const std::vector<WindowInfo>& windows)
{
    uint32_t pid = uint32_t(::getpid());
    std::string dir = directoryPath();
    std::string name = std::to_string(pid) + "-" + std::to_string(ownStartTime());
    std::string path = dir + "/" + name;
    auto& pub = published();
    std::lock_guard<std::mutex> lock(pub.mutex);
    if (windows.empty()) {
        ::unlink(path.c_str());
        pub.files.erase(path);
        pub.failing = false;
        return true;
    }
    std::ostringstream out;
    out << kHeader << "\n"
        << "process " << pid << " " << ownStartTime() << "\n";
    for (const WindowInfo& w : windows) {
        char hex[32];
        std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(handleValue(w.hwnd)));
        out << "window " << hex << " " << (w.topLevel ? 1 : 0) << " " << w.threadId << " " << encode(w.className) << " "
            << encode(w.title) << "\n";
    }
    std::string tmp = dir + "/." + name + ".tmp";
    std::string content = out.str();
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = fd >= 0 && ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    if (fd >= 0)
        ::close(fd);
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        // Said once however often it is tried again.
        if (!pub.failing)
            debugPrintf("window messages: cannot publish windows in %s (errno %d)", dir.c_str(), errno);
        pub.failing = true;
        ::unlink(tmp.c_str());
        return false;
    }
    if (pub.failing)
        debugPrintf("window messages: windows published in %s again", dir.c_str());
    pub.failing = false;
    pub.files.insert(path);
    return true;
}

std::vector<WindowInfo> otherProcessesWindows()
{
    std::vector<WindowInfo> result;
    std::string dir = directoryPath();
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return result;
    uint32_t self = uint32_t(::getpid());
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d))
        names.push_back(e->d_name);
    ::closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name == "." || name == "..")
            continue;
        // "<pid>-<start>" or a writer's ".<pid>-<start>.tmp".
        bool tmp = name[0] == '.';
        std::string core = tmp ? name.substr(1) : name;
        if (tmp) {
            if (core.size() < 4 || core.compare(core.size() - 4, 4, ".tmp") != 0)
                continue;
            core.resize(core.size() - 4);
        }
        size_t dash = core.find('-');
        unsigned long long pid = 0, start = 0;
        if (dash == std::string::npos || !parseUnsigned(core.substr(0, dash), 10, 0xFFFFFFFFull, &pid)
            || !parseUnsigned(core.substr(dash + 1), 10, ~0ull, &start))
            continue; // not ours
        std::string path = dir + "/" + name;
        if (!processAlive(uint32_t(pid), start)) {
            ::unlink(path.c_str());
            continue;
        }
        if (tmp || pid == self)
            continue;
        // Non-blocking and not through links: whatever sits under the name
        // (a FIFO, a device), looking must never hang or read elsewhere.
        struct stat st { };
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
        if (fd < 0 && errno == ELOOP)
            reportMalformed(path, "a link", 0, 0);
        if (fd < 0)
            continue; // else replaced or removed meanwhile
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || size_t(st.st_size) > kMaxDirectoryFile) {
            ::close(fd);
            reportMalformed(path, "not a plain file of sane size", st.st_size, st.st_mtime);
            continue;
        }
        std::string content(size_t(st.st_size), '\0');
        ssize_t n = ::read(fd, content.data(), content.size());
        ::close(fd);
        if (n != ssize_t(content.size()))
            continue;
        std::vector<WindowInfo> windows;
        std::string why;
        if (!parseFile(content, uint32_t(pid), start, &windows, &why)) {
            reportMalformed(path, why, st.st_size, st.st_mtime);
            continue;
        }
        result.insert(result.end(), windows.begin(), windows.end());
    }
    return result;
}

void unpublishAll()
{
    auto& pub = published();
    std::lock_guard<std::mutex> lock(pub.mutex);
    for (const std::string& f : pub.files)
        ::unlink(f.c_str());
    pub.files.clear();
}

} // namespace ce::wm
