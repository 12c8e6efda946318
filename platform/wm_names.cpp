// Registered window messages: a file of names in the run folder, one a line,
// the n-th line being id 0xC000 + n. The file is only ever appended to, under
// an exclusive lock, so every process of the device root sees the same ids.
#include "platform/debug.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/wm_internal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

namespace ce {

namespace {

constexpr UINT kFirstRegistered = 0xC000;
constexpr size_t kMaxRegistered = 0x10000 - kFirstRegistered;
constexpr size_t kMaxNameLength = 255;

// A process stopped while it holds the names file's lock must not keep
// every program of the device root from starting.
constexpr DWORD kLockWaitMs = 5000;
std::atomic<DWORD> g_lockWaitMs { kLockWaitMs };
// Once a wait ran out, the holder is taken for stuck: later looks only wait
// this long until the lock is had again, so a program that registers many
// names at its start waits the full time once, not once per name.
constexpr DWORD kStuckLockWaitMs = 50;
std::atomic<bool> g_lockStuck { false };

// Takes the names file's lock within the wait that applies; the ms waited
// in vain otherwise.
bool lockNames(int fd, int operation, DWORD* waitedMs)
{
    const DWORD wait = g_lockStuck ? std::min(kStuckLockWaitMs, g_lockWaitMs.load()) : g_lockWaitMs.load();
    const bool locked = detail::lockFileWithin(fd, operation, wait);
    g_lockStuck = !locked;
    *waitedMs = wait;
    return locked;
}

std::string lower(const std::string& s)
{
    return detail::asciiLower(s);
}

std::string namesFile()
{
    return runDirectory() + "/wm-messages";
}

// Every line is one slot, an unterminated last line included, so that a
// writer that died half-way never shifts the ids of the names after it.
std::vector<std::string> splitNames(const std::string& content)
{
    std::vector<std::string> names;
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        names.push_back(content.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool readAll(int fd, std::string* out)
{
    out->clear();
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return false;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out->append(buf, size_t(n));
        if (out->size() > kMaxRegistered * (kMaxNameLength + 1) + 1)
            return true; // more than any valid file holds; the rest is never used
    }
}

class Names {
public:
    UINT lookup(const std::string& name, bool create)
    {
        std::string path = namesFile();
        std::string key = lower(name);
        std::lock_guard<std::mutex> lock(m_mutex);
        auto& ids = m_cache[path];
        auto it = ids.find(key);
        if (it != ids.end())
            return it->second;

        int fd = ::open(path.c_str(), (create ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (create)
                debugPrintf("window messages: cannot open %s (errno %d)", path.c_str(), errno);
            return 0;
        }
        DWORD waited = 0;
        if (!lockNames(fd, create ? LOCK_EX : LOCK_SH, &waited)) {
            debugPrintf("window messages: the lock of %s stayed taken for %u ms; \"%s\" is not registered",
                path.c_str(), waited, name.c_str());
            ::close(fd);
            setLastError(ERROR_SHARING_VIOLATION);
            return 0;
        }
        UINT id = 0;
        std::string content;
        if (readAll(fd, &content)) {
            std::vector<std::string> names = splitNames(content);
            for (size_t i = 0; i < names.size() && i < kMaxRegistered; ++i)
                ids.emplace(lower(names[i]), UINT(kFirstRegistered + i));
            auto found = ids.find(key);
            if (found != ids.end()) {
                id = found->second;
            } else if (create && names.size() < kMaxRegistered) {
                std::string line = (!content.empty() && content.back() != '\n' ? "\n" : "") + name + "\n";
                if (::lseek(fd, 0, SEEK_END) >= 0 && ::write(fd, line.data(), line.size()) == ssize_t(line.size())) {
                    id = UINT(kFirstRegistered + names.size());
                    ids.emplace(key, id);
                } else {
                    debugPrintf("window messages: cannot write %s (errno %d)", path.c_str(), errno);
                }
            } else if (create) {
                debugOutput("window messages: no registered message ids left");
            }
        }
        ::flock(fd, LOCK_UN);
        ::close(fd);
        if (id == 0)
            setLastError(create ? ERROR_NOT_ENOUGH_MEMORY : ERROR_FILE_NOT_FOUND);
        return id;
    }

    std::string name(UINT id)
    {
        if (id < kFirstRegistered || id > 0xFFFF)
            return {};
        std::string path = namesFile();
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return {};
        DWORD waited = 0;
        if (!lockNames(fd, LOCK_SH, &waited)) {
            ::close(fd);
            return {};
        }
        std::string content;
        bool ok = readAll(fd, &content);
        ::flock(fd, LOCK_UN);
        ::close(fd);
        if (!ok)
            return {};
        std::vector<std::string> names = splitNames(content);
        size_t index = id - kFirstRegistered;
        return index < names.size() ? names[index] : std::string();
    }

private:
    std::mutex m_mutex;
    // Per run folder: a test may move the device root between cases.
    std::map<std::string, std::map<std::string, UINT>> m_cache;
};

Names& names()
{
    static Names* n = new Names; // never destroyed: usable during exit
    return *n;
}

} // namespace

UINT registerWindowMessage(const std::string& name)
{
    if (name.empty() || name.size() > kMaxNameLength
        || name.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return names().lookup(name, true);
}

std::string getRegisteredMessageName(UINT id)
{
    return names().name(id);
}

void setRegisteredNamesLockWaitForTests(DWORD ms)
{
    g_lockWaitMs = ms ? ms : kLockWaitMs;
    g_lockStuck = false;
}

} // namespace ce
