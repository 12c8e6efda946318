#include "platform/registry.h"

#include "platform/paths.h"
#include "platform/types.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
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

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
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

// Lines: "K <root> <path>" and "V <root> <path> <name> s|d <value>", tab-separated.
// Unreadable lines are skipped, so a damaged file loses only what is damaged.
Store load()
{
    Store store;
    std::ifstream in(filePath(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        auto f = splitTabs(line);
        if (f.size() < 3 || (f[1] != "0" && f[1] != "1"))
            continue;
        int root = f[1] == "1" ? 1 : 0;
        std::string path = normalise(unescape(f[2]));
        if (path.empty())
            continue;
        auto& key = store[{ root, lower(path) }];
        if (key.path.empty())
            key.path = path;
        if (f[0] == "V" && f.size() == 6) {
            Value v;
            v.name = unescape(f[3]);
            if (f[4] == "d") {
                v.isDword = true;
                v.dword = uint32_t(std::strtoul(f[5].c_str(), nullptr, 10));
            } else {
                v.text = unescape(f[5]);
            }
            key.values[lower(v.name)] = v;
        }
    }
    return store;
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

class FileLock {
public:
    FileLock()
    {
        m_fd = ::open((deviceRoot() + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~FileLock()
    {
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_UN);
            ::close(m_fd);
        }
    }

private:
    int m_fd;
};

// Runs fn on the current store; saves when fn returns true and asks to.
template <typename Fn> auto withStore(bool write, Fn fn)
{
    std::lock_guard<std::mutex> guard(g_mutex);
    FileLock lock;
    Store store = load();
    bool changed = false;
    auto result = fn(store, changed);
    if (write && changed && !save(store)) {
        setLastError(ERROR_WRITE_FAULT);
        if constexpr (std::is_same_v<decltype(result), bool>)
            return false;
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
    std::string path = normalise(key);
    auto& k = store[id(root, path)];
    if (k.path.empty())
        k.path = path;
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
