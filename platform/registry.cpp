#include "platform/registry.h"

#include "platform/debug.h"
#include "platform/handles.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/types.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

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

std::vector<std::string> splitTabs(const std::string& line)
{
    std::vector<std::string> f;
    std::string cur;
    for (char c : line) {
        if (c == '\t') {
            f.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    f.push_back(cur);
    return f;
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

// Lines: "K <root> <path>" and "V <root> <path> <name> s|d <value>", tab-separated.
// Unreadable lines are skipped, so a damaged file loses only what is damaged.
// False when the file is there but cannot be read: a change written over it
// would lose everything it holds.
bool readFile(const std::string& path, std::string& text)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT; // no registry yet: empty
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char buffer[65536];
    while (ok) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    return ok;
}

bool load(Store& store)
{
    std::string text;
    if (!readFile(filePath(), text))
        return false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto f = splitTabs(line);
        if (f.size() < 3 || (f[1] != "0" && f[1] != "1"))
            continue;
        int root = f[1] == "1" ? 1 : 0;
        std::string path = normalise(unescape(f[2]));
        if (path.empty())
            continue;
        Value v;
        if (f[0] == "V" && f.size() == 6) {
            v.name = unescape(f[3]);
            if (f[4] == "d") {
                v.isDword = true;
                if (!parseDword(f[5], &v.dword))
                    continue;
            } else {
                v.text = unescape(f[5]);
            }
        }
        auto& key = ensureKeyPath(store, root, path);
        if (f[0] == "V" && f.size() == 6)
            key.values[lower(v.name)] = v;
    }
    return true;
}

bool save(const Store& store)
{
    std::string tmp = filePath() + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        for (auto& [id, key] : store) {
            std::string r = std::to_string(id.first);
            out << "K\t" << r << '\t' << escape(key.path) << '\n';
            for (auto& [ln, v] : key.values) {
                out << "V\t" << r << '\t' << escape(key.path) << '\t' << escape(v.name) << '\t';
                if (v.isDword)
                    out << "d\t" << v.dword << '\n';
                else
                    out << "s\t" << escape(v.text) << '\n';
            }
        }
        if (!out.flush())
            return false;
    }
    return std::rename(tmp.c_str(), filePath().c_str()) == 0;
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
        if (m_fd < 0)
            return;
        const uint64_t start = detail::nowMs();
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR)
                break;
            DWORD left = detail::remaining(g_lockWaitMs.load(), start);
            if (left == 0) {
                debugPrintf("registry: the lock stayed taken for %u ms; a change is refused", g_lockWaitMs.load());
                break;
            }
            ::poll(nullptr, 0, int(std::min<DWORD>(left, 10))); // no descriptor tells when a lock frees
        }
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

private:
    int m_fd;
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
            setLastError(ERROR_SHARING_VIOLATION);
            return Result {};
        }
    }
    Store store;
    if (!load(store)) {
        setLastError(ERROR_READ_FAULT);
        return Result {};
    }
    bool changed = false;
    Result result = fn(store, changed);
    if (write && changed && !save(store)) {
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
