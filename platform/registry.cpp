#include "platform/registry.h"

#include "platform/debug.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/types.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

namespace ce::reg {

namespace {

struct Value {
    std::string name;
    bool isDword = false;
    std::string text;
    uint32_t dword = 0;
};

struct Key {
    std::string path; // as first spelled
    std::map<std::string, Value> values; // by lower-case name
};

// Keys by root and lower-case path.
using Store = std::map<std::pair<int, std::string>, Key>;

std::mutex g_mutex; // threads of this process; the file lock covers processes

std::string lower(const std::string& s)
{
    return detail::asciiLower(s);
}

std::string normalise(const std::string& key)
{
    std::string out, cur;
    auto flush = [&] {
        if (!cur.empty()) {
            if (!out.empty())
                out += '\\';
            out += cur;
            cur.clear();
        }
    };
    for (char c : key) {
        if (c == '\\' || c == '/')
            flush();
        else
            cur += c;
    }
    flush();
    return out;
}

std::string escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string filePath()
{
    return deviceRoot() + "/registry.txt";
}

// The key and every key above it, as creating a key on the device does.
Key& ensureKeyPath(Store& store, int root, const std::string& path)
{
    for (size_t sep = path.find('\\'); sep != std::string::npos; sep = path.find('\\', sep + 1)) {
        auto& parent = store[{ root, lower(path.substr(0, sep)) }];
        if (parent.path.empty())
            parent.path = path.substr(0, sep);
    }
    auto& key = store[{ root, lower(path) }];
    if (key.path.empty())
        key.path = path;
    return key;
}

bool parseDword(const std::string& text, uint32_t* out)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > 0xFFFFFFFFull)
        return false;
    *out = uint32_t(v);
    return true;
}

std::string unescaped(std::string_view field)
{
    return field.find('\\') == std::string_view::npos ? std::string(field) : unescape(std::string(field));
}

// Lines: "K <root> <path>" and "V <root> <path> <name> s|d <value>", tab-separated.
// Unreadable lines are skipped, so a damaged file loses only what is damaged.
// One pass over the text: fields are views into it, and the values of one
// key (the file keeps them together, in order) find their key once.
void parse(const std::string& text, Store& store)
{
    const std::string_view all(text);
    std::string_view f[7]; // a seventh field only tells that there are more than six
    std::string_view lastPath;
    int lastRoot = -1;
    Key* lastKey = nullptr;
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string_view::npos)
            end = all.size();
        const std::string_view line = all.substr(at, end - at);
        at = end + 1;
        size_t n = 0;
        for (size_t from = 0; n < 7;) {
            const size_t tab = line.find('\t', from);
            f[n++] = line.substr(from, tab == std::string_view::npos ? std::string_view::npos : tab - from);
            if (tab == std::string_view::npos)
                break;
            from = tab + 1;
        }
        if (n < 3 || (f[1] != "0" && f[1] != "1"))
            continue;
        const int root = f[1] == "1" ? 1 : 0;
        const bool isValue = f[0] == "V" && n == 6;
        Value v;
        if (isValue) {
            v.name = unescaped(f[3]);
            if (f[4] == "d") {
                v.isDword = true;
                if (!parseDword(std::string(f[5]), &v.dword))
                    continue;
            } else {
                v.text = unescaped(f[5]);
            }
        }
        Key* key = lastKey;
        if (!key || root != lastRoot || f[2] != lastPath) {
            const std::string path = normalise(unescaped(f[2]));
            if (path.empty())
                continue;
            key = &ensureKeyPath(store, root, path);
            lastKey = key;
            lastRoot = root;
            lastPath = f[2];
        }
        if (isValue) {
            std::string name = lower(v.name);
            key->values.insert_or_assign(key->values.end(), std::move(name), std::move(v));
        }
    }
}

std::string serialise(const Store& store)
{
    std::string out;
    for (auto& [id, key] : store) {
        const char* r = id.first ? "1\t" : "0\t";
        const std::string path = escape(key.path);
        out += "K\t";
        out += r;
        out += path;
        out += '\n';
        for (auto& [ln, v] : key.values) {
            out += "V\t";
            out += r;
            out += path;
            out += '\t';
            out += escape(v.name);
            if (v.isDword) {
                out += "\td\t";
                out += std::to_string(v.dword);
            } else {
                out += "\ts\t";
                out += escape(v.text);
            }
            out += '\n';
        }
    }
    return out;
}

// The parsed file, kept while the file on disk is unchanged. Every change
// replaces the file by rename, so the file the path names is another one
// (another device and inode) after any write by any process. Holding the
// parsed file open keeps its inode from being given to a later file, so
// that comparison cannot be fooled however close together the writes come.
// Size and modification time catch a file changed in place by hand.
struct Cache {
    std::string path; // empty: nothing cached
    bool present = false; // false: the file was missing (an empty registry)
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
    Store store;

    void drop()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
        path.clear();
        present = false;
        store.clear();
    }
    void hold(const std::string& p, int file, const struct stat& st)
    {
        if (fd >= 0 && fd != file)
            ::close(fd);
        path = p;
        present = true;
        fd = file;
        dev = st.st_dev;
        ino = st.st_ino;
        size = st.st_size;
        mtime = st.st_mtim;
    }
    bool same(const struct stat& st) const
    {
        return st.st_dev == dev && st.st_ino == ino && st.st_size == size && st.st_mtim.tv_sec == mtime.tv_sec
            && st.st_mtim.tv_nsec == mtime.tv_nsec;
    }
};

// Guarded by g_mutex; never destroyed, so a thread still reading at exit
// finds it whole.
Cache& g_cache = *new Cache;

bool readAll(int fd, std::string& text)
{
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        text.append(buffer, size_t(n));
    }
}

// Brings the cache up to the file on disk, parsing it only when it changed.
// False when the file is there but cannot be read: a change written over it
// would lose everything it holds.
bool refresh()
{
    const std::string path = filePath();
    struct stat st;
    const bool found = ::stat(path.c_str(), &st) == 0;
    const bool missing = !found && errno == ENOENT;
    if (!g_cache.path.empty() && g_cache.path == path
        && (g_cache.present ? found && g_cache.same(st) : missing))
        return true;
    g_cache.drop();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return false;
        g_cache.path = path; // no registry yet: empty
        return true;
    }
    // The identity of the file actually read, whatever the path named before.
    std::string text;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !readAll(fd, text)) {
        ::close(fd);
        return false;
    }
    parse(text, g_cache.store);
    g_cache.hold(path, fd, st);
    return true;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// Writes the cached store to a new file and renames it over the registry, so
// readers see the old file or the new one whole. The new file becomes the
// one the cache holds.
bool save()
{
    const std::string path = filePath();
    const std::string tmp = path + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat st;
    // Flushed before the rename: after a power cut the name holds the old
    // file or the new one whole, never a new one without its blocks.
    if (!writeAll(fd, serialise(g_cache.store)) || ::fsync(fd) != 0 || ::fstat(fd, &st) != 0
        || std::rename(tmp.c_str(), path.c_str()) != 0) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    }
    g_cache.hold(path, fd, st);
    return true;
}

// Serialises the changes of every process of the device root. Reads need no
// lock: a change replaces the file by rename, so a reader sees the old or the
// new file whole.
// A writer waits this long at most for the lock: a process stopped while
// holding it must not hold up every other writer without bound.
constexpr uint32_t kLockWaitMs = 5000;
std::atomic<uint32_t> g_lockWaitMs { kLockWaitMs };

class FileLock {
public:
    FileLock()
    {
        m_fd = ::open((deviceRoot() + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            // Not a lock held elsewhere: the device root takes no change.
            m_error = errno == EROFS ? ERROR_WRITE_PROTECT
                : errno == ENOSPC || errno == EDQUOT ? ERROR_DISK_FULL
                                                    : ERROR_ACCESS_DENIED;
            debugPrintf("registry: the lock file cannot be opened (%s); a change is refused", std::strerror(errno));
            return;
        }
        if (detail::lockFileWithin(m_fd, LOCK_EX, g_lockWaitMs.load()))
            return;
        debugPrintf("registry: the lock stayed taken for %u ms; a change is refused", g_lockWaitMs.load());
        ::close(m_fd);
        m_fd = -1;
    }
    ~FileLock()
    {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }
    bool held() const { return m_fd >= 0; }
    // Why the lock is not held.
    DWORD error() const { return m_error; }

private:
    int m_fd;
    DWORD m_error = ERROR_SHARING_VIOLATION;
};

// Runs fn on the current store; a write saves it when fn reports a change.
// A change that cannot take the lock or read the file is refused, so that no
// other process's update and nothing already stored is lost.
template <typename Fn> auto withStore(bool write, Fn fn)
{
    using Result = decltype(fn(std::declval<Store&>(), std::declval<bool&>()));
    std::lock_guard<std::mutex> guard(g_mutex);
    std::optional<FileLock> lock;
    if (write) {
        lock.emplace();
        if (!lock->held()) {
            setLastError(lock->error());
            return Result {};
        }
    }
    // A refused or failed change drops the cache: it may hold what never
    // reached the file, and the next call reads the file again.
    if (!refresh()) {
        g_cache.drop();
        setLastError(ERROR_READ_FAULT);
        return Result {};
    }
    bool changed = false;
    Result result = fn(g_cache.store, changed);
    if (write && changed && !save()) {
        g_cache.drop();
        setLastError(ERROR_WRITE_FAULT);
        return Result {};
    }
    return result;
}

std::pair<int, std::string> id(Root root, const std::string& key)
{
    return { root == Root::LocalMachine ? 1 : 0, lower(normalise(key)) };
}

bool isUnder(const std::string& lowerPath, const std::string& lowerParent)
{
    return lowerPath.size() > lowerParent.size() && lowerPath.compare(0, lowerParent.size(), lowerParent) == 0
        && lowerPath[lowerParent.size()] == '\\';
}

void ensureKey(Store& store, Root root, const std::string& key)
{
    ensureKeyPath(store, id(root, key).first, normalise(key));
}

} // namespace

bool createKey(Root root, const std::string& key)
{
    if (normalise(key).empty()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return withStore(true, [&](Store& s, bool& changed) {
        if (!s.count(id(root, key))) {
            ensureKey(s, root, key);
            changed = true;
        }
        return true;
    });
}

bool keyExists(Root root, const std::string& key)
{
    return withStore(false, [&](Store& s, bool&) { return s.count(id(root, key)) > 0; });
}

bool deleteKey(Root root, const std::string& key)
{
    auto kid = id(root, key);
    return withStore(true, [&](Store& s, bool& changed) {
        bool found = false;
        for (auto it = s.begin(); it != s.end();) {
            if (it->first.first == kid.first
                && (it->first.second == kid.second || isUnder(it->first.second, kid.second))) {
                it = s.erase(it);
                found = true;
            } else {
                ++it;
            }
        }
        changed = found;
        if (!found)
            setLastError(ERROR_FILE_NOT_FOUND);
        return found;
    });
}

bool clearKey(Root root, const std::string& key)
{
    auto kid = id(root, key);
    return withStore(true, [&](Store& s, bool& changed) {
        auto self = s.find(kid);
        if (self == s.end()) {
            setLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        changed = !self->second.values.empty();
        self->second.values.clear();
        for (auto it = s.begin(); it != s.end();) {
            if (it->first.first == kid.first && isUnder(it->first.second, kid.second)) {
                it = s.erase(it);
                changed = true;
            } else {
                ++it;
            }
        }
        return true;
    });
}

std::optional<std::string> getString(Root root, const std::string& key, const std::string& name)
{
    return withStore(false, [&](Store& s, bool&) -> std::optional<std::string> {
        auto k = s.find(id(root, key));
        if (k == s.end())
            return std::nullopt;
        auto v = k->second.values.find(lower(name));
        if (v == k->second.values.end() || v->second.isDword)
            return std::nullopt;
        return v->second.text;
    });
}

std::optional<uint32_t> getDword(Root root, const std::string& key, const std::string& name)
{
    return withStore(false, [&](Store& s, bool&) -> std::optional<uint32_t> {
        auto k = s.find(id(root, key));
        if (k == s.end())
            return std::nullopt;
        auto v = k->second.values.find(lower(name));
        if (v == k->second.values.end() || !v->second.isDword)
            return std::nullopt;
        return v->second.dword;
    });
}

static bool setValue(Root root, const std::string& key, const Value& value)
{
    if (normalise(key).empty()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return withStore(true, [&](Store& s, bool& changed) {
        ensureKey(s, root, key);
        auto& k = s[id(root, key)];
        auto& v = k.values[lower(value.name)];
        std::string keepName = v.name.empty() ? value.name : v.name;
        v = value;
        v.name = keepName;
        changed = true;
        return true;
    });
}

bool setString(Root root, const std::string& key, const std::string& name, const std::string& value)
{
    Value v;
    v.name = name;
    v.text = value;
    return setValue(root, key, v);
}

bool setDword(Root root, const std::string& key, const std::string& name, uint32_t value)
{
    Value v;
    v.name = name;
    v.isDword = true;
    v.dword = value;
    return setValue(root, key, v);
}

bool deleteValue(Root root, const std::string& key, const std::string& name)
{
    return withStore(true, [&](Store& s, bool& changed) {
        auto k = s.find(id(root, key));
        if (k == s.end() || !k->second.values.erase(lower(name))) {
            setLastError(ERROR_FILE_NOT_FOUND);
            return false;
        }
        changed = true;
        return true;
    });
}

std::vector<std::string> valueNames(Root root, const std::string& key)
{
    return withStore(false, [&](Store& s, bool&) {
        std::vector<std::string> names;
        auto k = s.find(id(root, key));
        if (k != s.end())
            for (auto& [ln, v] : k->second.values)
                names.push_back(v.name);
        return names;
    });
}

std::vector<std::string> subKeys(Root root, const std::string& key)
{
    auto kid = id(root, key);
    return withStore(false, [&](Store& s, bool&) {
        std::vector<std::string> names;
        for (auto& [i, k] : s) {
            if (i.first != kid.first || !isUnder(i.second, kid.second))
                continue;
            std::string rest = k.path.substr(kid.second.size() + 1);
            if (rest.find('\\') == std::string::npos)
                names.push_back(rest);
        }
        return names;
    });
}

void setLockWaitForTests(uint32_t ms)
{
    g_lockWaitMs = ms ? ms : kLockWaitMs;
}

std::optional<std::pair<Root, std::string>> splitPath(const std::string& fullPath)
{
    std::string n = normalise(fullPath);
    auto slash = n.find('\\');
    std::string first = lower(n.substr(0, slash));
    std::string rest = slash == std::string::npos ? std::string() : n.substr(slash + 1);
    if (first == "hkey_current_user" || first == "hkcu")
        return std::make_pair(Root::CurrentUser, rest);
    if (first == "hkey_local_machine" || first == "hklm")
        return std::make_pair(Root::LocalMachine, rest);
    return std::nullopt;
}

} // namespace ce::reg
