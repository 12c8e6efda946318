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
#include <vector>

namespace ce::reg {

namespace {

struct Value {
    std::string name;
    bool isDword = false;
    std::string text;
    uint32_t dword = 0;
};

// A key's values by lower-case name, in that order. A sorted array rather
// than a tree: a file is read far more often than a value changes, and the
// file lists each key's values in this order, so reading it appends each one
// at the end without a node of its own.
class Values {
public:
    using Entry = std::pair<std::string, Value>;

    std::vector<Entry>::const_iterator begin() const { return m_entries.begin(); }
    std::vector<Entry>::const_iterator end() const { return m_entries.end(); }
    bool empty() const { return m_entries.empty(); }
    void clear() { m_entries.clear(); }

    Value* find(const std::string& folded)
    {
        auto it = lowerBound(folded);
        return it != m_entries.end() && it->first == folded ? &it->second : nullptr;
    }

    // The value of that name, made empty when missing.
    Value& operator[](const std::string& folded)
    {
        auto it = lowerBound(folded);
        if (it == m_entries.end() || it->first != folded)
            it = m_entries.emplace(it, folded, Value {});
        return it->second;
    }

    bool erase(const std::string& folded)
    {
        auto it = lowerBound(folded);
        if (it == m_entries.end() || it->first != folded)
            return false;
        m_entries.erase(it);
        return true;
    }

    // Reading a file: the place of a value as the file lists it, to be
    // filled whole. A name listed again replaces what came before it;
    // finish() restores the order of a file whose values came out of order
    // (edited by hand).
    Value& append(std::string folded)
    {
        if (!m_entries.empty()) {
            const int order = m_entries.back().first.compare(folded);
            if (order == 0)
                return m_entries.back().second;
            if (order > 0)
                m_sorted = false;
        }
        return m_entries.emplace_back(std::move(folded), Value {}).second;
    }

    // Empty, with the room of another's values (a store read again reuses
    // the room of the one it replaces instead of asking for it anew).
    void reuse(Values& other)
    {
        m_entries.swap(other.m_entries);
        m_entries.clear();
        m_sorted = true;
    }

    void finish()
    {
        if (m_sorted)
            return;
        m_sorted = true;
        std::stable_sort(m_entries.begin(), m_entries.end(),
            [](const Entry& a, const Entry& b) { return a.first < b.first; });
        // Of the values of one name, the one listed last stays.
        std::vector<Entry> kept;
        kept.reserve(m_entries.size());
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (i + 1 == m_entries.size() || m_entries[i + 1].first != m_entries[i].first)
                kept.push_back(std::move(m_entries[i]));
        m_entries.swap(kept);
    }

private:
    std::vector<Entry>::iterator lowerBound(const std::string& folded)
    {
        return std::lower_bound(m_entries.begin(), m_entries.end(), folded,
            [](const Entry& e, const std::string& name) { return e.first < name; });
    }

    std::vector<Entry> m_entries;
    bool m_sorted = true;
};

struct Key {
    std::string path; // as first spelled
    Values values;
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
// The keys of previous lend their room to the same keys read again.
void parse(const std::string& text, Store& store, Store& previous)
{
    std::string_view f[7]; // a seventh field only tells that there are more than six
    std::string_view lastPath;
    int lastRoot = -1;
    Key* lastKey = nullptr;
    // The start of the last value line read, up to its name
    // ("V\t<root>\t<path>\t"), its fields and its key: the next values of the
    // same key start alike and skip straight to their name.
    std::string_view head;
    std::string_view headFields[3];
    Key* headKey = nullptr;
    const char* at = text.data();
    const char* const stop = at + text.size();
    while (at < stop) {
        const char* const line = at;
        size_t n = 0;
        const bool sameHead = !head.empty() && size_t(stop - at) > head.size()
            && std::memcmp(at, head.data(), head.size()) == 0;
        if (sameHead) {
            std::copy(headFields, headFields + 3, f);
            n = 3;
            at += head.size();
        }
        // The other fields in one walk over the line's bytes (lines are
        // short: a search per field would cost more than it saves).
        const char* from = at;
        for (;; ++at) {
            if (at == stop || *at == '\n') {
                if (n < 7)
                    f[n++] = std::string_view(from, size_t(at - from));
                break;
            }
            if (*at == '\t' && n < 7) {
                f[n++] = std::string_view(from, size_t(at - from));
                from = at + 1;
            }
        }
        if (at != stop)
            ++at;
        if (n < 3 || (f[1] != "0" && f[1] != "1"))
            continue;
        const int root = f[1] == "1" ? 1 : 0;
        const bool isValue = f[0] == "V" && n == 6;
        const bool isDword = isValue && f[4] == "d";
        uint32_t dword = 0;
        if (isDword && !parseDword(std::string(f[5]), &dword))
            continue;
        Key* key = sameHead ? headKey : lastKey;
        if (!sameHead && (!key || root != lastRoot || f[2] != lastPath)) {
            const std::string path = normalise(unescaped(f[2]));
            if (path.empty())
                continue;
            key = &ensureKeyPath(store, root, path);
            if (key->values.empty()) {
                auto old = previous.find({ root, lower(path) });
                if (old != previous.end())
                    key->values.reuse(old->second.values);
            }
            lastKey = key;
            lastRoot = root;
            lastPath = f[2];
        }
        if (!isValue)
            continue;
        if (!sameHead) {
            head = std::string_view(line, size_t(f[3].data() - line));
            std::copy(f, f + 3, headFields);
            headKey = key;
        }
        std::string name = unescaped(f[3]);
        Value& v = key->values.append(lower(name));
        v.name = std::move(name);
        v.isDword = isDword;
        v.dword = dword;
        if (isDword)
            v.text.clear();
        else if (f[5].find('\\') == std::string_view::npos)
            v.text.assign(f[5]);
        else
            v.text = unescape(std::string(f[5]));
    }
    for (auto& [id, key] : store)
        key.values.finish();
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
    std::string text; // the last file read, kept for its room

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
    Store previous;
    previous.swap(g_cache.store);
    g_cache.drop();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return false;
        g_cache.path = path; // no registry yet: empty
        return true;
    }
    // The identity of the file actually read, whatever the path named before.
    std::string& text = g_cache.text;
    text.clear();
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular)
        text.reserve(size_t(st.st_size) + 1);
    if (!regular || !readAll(fd, text)) {
        ::close(fd);
        return false;
    }
    parse(text, g_cache.store, previous);
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
        const Value* v = k->second.values.find(lower(name));
        if (!v || v->isDword)
            return std::nullopt;
        return v->text;
    });
}

std::optional<uint32_t> getDword(Root root, const std::string& key, const std::string& name)
{
    return withStore(false, [&](Store& s, bool&) -> std::optional<uint32_t> {
        auto k = s.find(id(root, key));
        if (k == s.end())
            return std::nullopt;
        const Value* v = k->second.values.find(lower(name));
        if (!v || !v->isDword)
            return std::nullopt;
        return v->dword;
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
