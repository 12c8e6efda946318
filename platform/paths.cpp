#include "platform/paths.h"

#include "platform/text.h"
#include "platform/types.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <unordered_map>
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

// The folder index's lock, and the forks this process came out of (asking
// for the process id would cost a call into the kernel at every lookup).
std::mutex g_indexMutex;
std::atomic<unsigned> g_forks { 0 };

// A process forked while another thread holds one of the locks of this file
// would find it held for ever: a fork waits until both are free, and the
// child starts with them free and makes an index of its own.
void lockForFork()
{
    g_mutex.lock();
    g_indexMutex.lock();
}

void unlockAfterFork()
{
    g_indexMutex.unlock();
    g_mutex.unlock();
}

void unlockInChild()
{
    g_forks.fetch_add(1, std::memory_order_relaxed);
    unlockAfterFork();
}

[[maybe_unused]] const int g_forkHandlers = ::pthread_atfork(lockForFork, unlockAfterFork, unlockInChild);

// The entries of the folders names were looked up in, by folded (lower-case)
// spelling, so that a name that does not exist yet costs no read of its
// whole folder. Each indexed folder is watched (inotify), and the events
// that came in are applied before every lookup: the kernel queues them as
// the change is made, so the index is never behind what a lookup could
// have seen on disk. A folder moved, removed, or replaced under its path,
// a lost event, or a process forked off with the watches of its parent
// make the index start again from a read of the folder.
//
// A folder found standing at its path inside an indexed parent stays there
// for as long as the parent stays indexed, its watch tells of no change to
// the folder's name (such a change forgets the folder and every folder
// indexed below it) and nothing is mounted or unmounted (the mount table's
// change notice; a file system mounted over an indexed folder, such as a
// card, tells its watch nothing), so a walk down from the device root
// checks the identity of the root alone. A folder reached through a
// symbolic link, or on its own, is checked (stat) at every use, and so is
// every folder where the mount table cannot be watched.
class FolderIndex {
public:
    // Whether dir holds an entry that folds to folded (its spelling in
    // *found); nullopt when the folder cannot be indexed.
    std::optional<bool> find(const std::string& dir, const std::string& folded, std::string* found)
    {
        std::lock_guard<std::mutex> lock(g_indexMutex);
        if (!ready())
            return std::nullopt;
        applyEvents();
        Folder* folder = folderAt(dir, false);
        if (!folder)
            return std::nullopt;
        auto hit = folder->names.find(folded);
        if (hit == folder->names.end() || hit->second.empty())
            return false;
        *found = *hit->second.begin();
        return true;
    }

    // Resolves components from parts[*next] on inside *out (an existing
    // folder), as matchEntry would one at a time: each appended to *out in
    // the spelling found, the given spelling first. Stops at a folder that
    // cannot be indexed (or, with stopAtMissing, at a component that does
    // not exist), *next then naming the first component left; stops after
    // a component that does not exist with *exists false.
    void walk(std::string* out, const std::vector<std::string>& parts, size_t* next, bool stopAtMissing, bool* exists)
    {
        std::lock_guard<std::mutex> lock(g_indexMutex);
        if (*next >= parts.size() || !ready())
            return;
        applyEvents();
        Folder* folder = folderAt(*out, false);
        while (folder && *next < parts.size()) {
            const std::string& component = parts[*next];
            m_folded.assign(component);
            for (char& c : m_folded)
                c = detail::asciiLower(c);
            auto hit = folder->names.find(m_folded);
            if (hit == folder->names.end() || hit->second.empty()) {
                if (stopAtMissing)
                    return;
                *exists = false;
                *out += '/';
                *out += component;
                ++*next;
                return;
            }
            *out += '/';
            *out += hit->second.count(component) ? component : *hit->second.begin();
            if (++*next < parts.size())
                folder = folderAt(*out, true);
        }
    }

private:
    static constexpr size_t kMaxFolders = 64;
    static constexpr uint32_t kEvents
        = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

    struct Folder {
        int watch = -1;
        dev_t dev = 0;
        ino_t ino = 0;
        uint64_t lastUse = 0;
        // Known to stand at its path while it is kept (see above); else
        // checked at every use.
        bool trusted = false;
        // Folded spelling -> the entries that fold to it.
        std::unordered_map<std::string, std::set<std::string>> names;
    };
    using Folders = std::unordered_map<std::string, Folder>;

    bool ready()
    {
        const unsigned forks = g_forks.load(std::memory_order_relaxed);
        if (m_fd >= 0 && m_forks == forks)
            return true;
        // A forked child shares its parent's queue of events and its notice
        // of mount changes: it keeps none of them (reading them would take
        // them from the parent) and starts its own.
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_mounts >= 0)
            ::close(m_mounts);
        m_folders.clear();
        m_byWatch.clear();
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        // Polled, it tells of every mount and unmount in this process's
        // mount namespace since it was last polled.
        m_mounts = m_fd >= 0 ? ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC) : -1;
        m_forks = forks;
        return m_fd >= 0;
    }

    // The index of the folder at dir, made when missing; null when dir is
    // no folder that can be indexed. Checked against the folder at dir,
    // unless descending from its parent, indexed and just found standing at
    // its own path (checked, or trusted on the way down from a checked
    // folder): its watch tells of any change to dir's name, so dir is then
    // trusted from there on.
    Folder* folderAt(const std::string& dir, bool descending)
    {
        auto it = m_folders.find(dir);
        if (descending && it != m_folders.end() && it->second.trusted && m_mounts >= 0) {
            it->second.lastUse = ++m_uses;
            return &it->second;
        }
        struct stat st;
        if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return nullptr;
        if (it != m_folders.end() && (it->second.dev != st.st_dev || it->second.ino != st.st_ino)) {
            forget(dir); // another folder now stands at this path
            it = m_folders.end();
        }
        if (it == m_folders.end()) {
            it = index(dir, st);
            if (it == m_folders.end())
                return nullptr;
        }
        if (descending && !it->second.trusted) {
            // No link to a folder elsewhere, and the parent still indexed.
            struct stat own;
            const size_t slash = dir.rfind('/');
            it->second.trusted = slash != std::string::npos && slash > 0
                && m_folders.count(dir.substr(0, slash)) && ::lstat(dir.c_str(), &own) == 0
                && S_ISDIR(own.st_mode);
        }
        it->second.lastUse = ++m_uses;
        return &it->second;
    }

    // Whether path is dir or lies below it.
    static bool within(const std::string& path, const std::string& dir)
    {
        return path.compare(0, dir.size(), dir) == 0 && (path.size() == dir.size() || path[dir.size()] == '/');
    }

    // Forgets the index of dir and of every folder indexed below it.
    void forget(const std::string& dir)
    {
        for (auto it = m_folders.begin(); it != m_folders.end();) {
            if (within(it->first, dir)) {
                ::inotify_rm_watch(m_fd, it->second.watch);
                m_byWatch.erase(it->second.watch);
                it = m_folders.erase(it);
            } else {
                ++it;
            }
        }
    }

    void forgetAll()
    {
        for (auto& [path, folder] : m_folders)
            ::inotify_rm_watch(m_fd, folder.watch);
        m_folders.clear();
        m_byWatch.clear();
    }

    // Watched first, then read: a change in between shows in both, and
    // applying it twice changes nothing.
    Folders::iterator index(const std::string& dir, const struct stat& st)
    {
        if (m_folders.size() >= kMaxFolders) {
            // The least used folder goes, never one above dir.
            auto oldest = m_folders.end();
            for (auto it = m_folders.begin(); it != m_folders.end(); ++it)
                if (!within(dir, it->first) && (oldest == m_folders.end() || it->second.lastUse < oldest->second.lastUse))
                    oldest = it;
            if (oldest != m_folders.end())
                forget(std::string(oldest->first));
        }
        int watch = ::inotify_add_watch(m_fd, dir.c_str(), kEvents);
        if (watch < 0)
            return m_folders.end();
        auto same = m_byWatch.find(watch);
        if (same != m_byWatch.end()) {
            // The same folder under another path: one index, under one path.
            std::string other = same->second;
            forget(other);
            watch = ::inotify_add_watch(m_fd, dir.c_str(), kEvents);
            if (watch < 0)
                return m_folders.end();
        }
        DIR* d = ::opendir(dir.c_str());
        if (!d) {
            ::inotify_rm_watch(m_fd, watch);
            return m_folders.end();
        }
        Folder folder;
        folder.watch = watch;
        folder.dev = st.st_dev;
        folder.ino = st.st_ino;
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                folder.names[lower(name)].insert(std::move(name));
        }
        ::closedir(d);
        m_byWatch[watch] = dir;
        return m_folders.emplace(dir, std::move(folder)).first;
    }

    // Applies the changes told since the last lookup; a single call into the
    // kernel when there are none.
    void applyEvents()
    {
        pollfd told[2] = { { m_fd, POLLIN, 0 }, { m_mounts, POLLPRI, 0 } }; // a negative descriptor is left out
        while (::poll(told, 2, 0) < 0) {
            if (errno != EINTR) {
                forgetAll(); // nothing known of what changed
                return;
            }
        }
        if (told[1].revents & (POLLPRI | POLLERR)) {
            // Something was mounted or unmounted: a folder may now stand
            // where an indexed one stood, telling its watch nothing. Every
            // folder is checked again at its next use, and forgotten if
            // another stands at its path.
            for (auto& [path, folder] : m_folders)
                folder.trusted = false;
        }
        if (told[0].revents & POLLIN)
            readEvents();
    }

    void readEvents()
    {
        alignas(inotify_event) char buf[16384];
        for (;;) {
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            for (char* p = buf; p < buf + n;) {
                auto* e = reinterpret_cast<inotify_event*>(p);
                p += sizeof(inotify_event) + e->len;
                if (e->mask & IN_Q_OVERFLOW) {
                    forgetAll(); // events were lost
                    continue;
                }
                auto w = m_byWatch.find(e->wd);
                if (w == m_byWatch.end())
                    continue;
                const std::string dir = w->second;
                auto f = m_folders.find(dir);
                if (f == m_folders.end())
                    continue;
                if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
                    if (e->mask & IN_IGNORED) { // the watch is gone already
                        m_byWatch.erase(w);
                        m_folders.erase(f);
                    }
                    forget(dir);
                    continue;
                }
                if (e->len == 0)
                    continue;
                std::string name(e->name); // NUL-padded
                if (e->mask & (IN_CREATE | IN_MOVED_TO)) {
                    f->second.names[lower(name)].insert(name);
                } else if (e->mask & (IN_DELETE | IN_MOVED_FROM)) {
                    auto it = f->second.names.find(lower(name));
                    if (it != f->second.names.end()) {
                        it->second.erase(name);
                        if (it->second.empty())
                            f->second.names.erase(it);
                    }
                }
                // Whatever stood at that name is gone or replaced.
                forget(dir + "/" + name);
            }
        }
    }

    int m_fd = -1;
    int m_mounts = -1; // /proc/self/mountinfo
    unsigned m_forks = 0;
    Folders m_folders;
    std::unordered_map<int, std::string> m_byWatch;
    uint64_t m_uses = 0;
    std::string m_folded; // room for the folded spelling of a component
};

FolderIndex& folderIndex()
{
    static FolderIndex* index = new FolderIndex; // never destroyed: paths resolve during exit
    return *index;
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
    std::string found;
    if (std::optional<bool> indexed = folderIndex().find(dir, lower(component), &found)) {
        *exists = *indexed;
        return *indexed ? found : component;
    }
    *exists = false;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return component;
    found = component;
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
    size_t i = 0;
    // What the index can tell at once; the rest (and folders to create)
    // one component at a time.
    folderIndex().walk(&out, stack, &i, createParents, &existing);
    for (; i < stack.size(); ++i) {
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

namespace {

// "<file>.<pid>-<serial>.tmp": apart from the names of this process's other
// writers. A writer in another PID namespace may have the same pid: the name
// is made new (O_EXCL), and a name taken means the next serial.
std::string temporaryName(const std::string& linuxPath, unsigned long serial)
{
    return linuxPath + "." + std::to_string(::getpid()) + "-" + std::to_string(serial) + ".tmp";
}

// Whether name is one of replaceFileWhole's temporary names of the file
// named base ("<base>.<digits>-<digits>.tmp"), or the one fixed
// "<base>.tmp" of earlier versions.
bool isTemporaryName(const std::string& name, const std::string& base)
{
    const std::string head = base + ".";
    const std::string tail = ".tmp";
    if (name == base + tail)
        return true;
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0
        || name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string core = name.substr(head.size(), name.size() - head.size() - tail.size());
    const size_t dash = core.find('-');
    const auto digits = [](const std::string& s) {
        return !s.empty() && s.size() <= 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return dash != std::string::npos && digits(core.substr(0, dash)) && digits(core.substr(dash + 1));
}

// A writer holds a lock on its temporary file from just after making it
// until it is renamed or removed; the lock goes with the writer's end,
// however it ends. So a temporary that can be locked is a leftover, whatever
// process or PID namespace made it (a pid in its name would tell nothing of
// a writer in another namespace). Removed under the lock, and only while the
// name still leads to the file locked: a writer that renamed it meanwhile
// has put it in place, and a name made again is another writer's.
bool removeIfUnheld(const std::string& path)
{
    // Not waiting on a pipe of that name; not following a link.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat held {}, named {};
    const bool removed = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode)
        && held.st_nlink > 0 && ::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev
        && named.st_ino == held.st_ino && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

// Makes a new temporary file for linuxPath and takes its lock; the
// descriptor, or -errno.
int openTemporary(const std::string& linuxPath, std::string* temp)
{
    static std::atomic<unsigned long> serial { 0 };
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = temporaryName(linuxPath, ++serial);
        const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return -errno;
        int locked;
        do
            locked = ::flock(fd, LOCK_EX);
        while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            const int error = errno;
            ::unlink(temp->c_str());
            ::close(fd);
            return -error;
        }
        // Between making it and locking it, a cleaner may have taken it for
        // a leftover and removed it: then another one.
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    return -EEXIST;
}

} // namespace

int replaceFileWhole(const std::string& linuxPath, const void* data, size_t size)
{
    // What killed writers of this file left goes first: it may be what
    // keeps the drive full.
    removeStaleTemporaries(linuxPath);
    std::string temp;
    const int fd = openTemporary(linuxPath, &temp);
    if (fd < 0)
        return -fd;
    int error = 0;
    const char* at = static_cast<const char*>(data);
    for (size_t left = size; left > 0 && !error;) {
        const ssize_t n = ::write(fd, at, left);
        if (n > 0) {
            at += n;
            left -= size_t(n);
        } else if (n == 0) {
            error = ENOSPC; // nothing more fits
        } else if (errno != EINTR) {
            error = errno;
        }
    }
    if (!error && ::fsync(fd) != 0)
        error = errno;
    // Renamed (or removed) while its lock is held: until then a cleaner
    // must see it as a live writer's.
    if (!error && ::rename(temp.c_str(), linuxPath.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temp.c_str());
    // Flushed already: closing has nothing left to report.
    ::close(fd);
    return error;
}

int removeStaleTemporaries(const std::string& linuxPath)
{
    const size_t slash = linuxPath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : linuxPath.substr(0, slash);
    const std::string base = slash == std::string::npos ? linuxPath : linuxPath.substr(slash + 1);
    if (base.empty())
        return 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return 0;
    std::vector<std::string> candidates;
    while (dirent* e = ::readdir(d)) {
        if (isTemporaryName(e->d_name, base))
            candidates.push_back(e->d_name);
    }
    ::closedir(d);
    int removed = 0;
    for (const std::string& name : candidates)
        removed += removeIfUnheld(dir + "/" + name);
    return removed;
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
