// Registrations live as one small file each in <run>/power, named after the
// registering process and a serial, holding the events asked for, the
// queue's largest message and its name. A sender opens each queue by name
// and writes the record; a registration whose process is gone is removed
// by the next sender.
#include "platform/power.h"

#include "platform/handles.h"
#include "platform/msgqueue.h"
#include "platform/paths.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace ce {

namespace {

std::string powerDirectory()
{
    const std::string dir = runDirectory() + "/power";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return dir;
}

class Registration : public detail::KernelObject {
public:
    explicit Registration(std::string file)
        : m_file(std::move(file))
    {
    }
    ~Registration() override { std::remove(m_file.c_str()); }
    void onClose() override { std::remove(m_file.c_str()); }

private:
    std::string m_file;
};

bool processGone(const std::string& fileName)
{
    const long pid = std::strtol(fileName.c_str(), nullptr, 10);
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

std::vector<uint8_t> record(DWORD message, DWORD flags, const std::string& stateName, DWORD maxBytes)
{
    std::u16string name(stateName.begin(), stateName.end());
    // The name and its NUL must fit the queue's largest message.
    const size_t room = maxBytes > POWER_BROADCAST_HEADER + 2 ? (maxBytes - POWER_BROADCAST_HEADER) / 2 - 1 : 0;
    if (name.size() > room)
        name.resize(room);
    const DWORD length = maxBytes >= POWER_BROADCAST_HEADER + 2 ? DWORD((name.size() + 1) * 2) : 0;
    std::vector<uint8_t> out(POWER_BROADCAST_HEADER + length, 0);
    std::memcpy(out.data(), &message, 4);
    std::memcpy(out.data() + 4, &flags, 4);
    std::memcpy(out.data() + 8, &length, 4);
    if (length)
        std::memcpy(out.data() + POWER_BROADCAST_HEADER, name.data(), name.size() * 2);
    return out;
}

} // namespace

HANDLE requestPowerNotifications(HANDLE msgQueue, DWORD flags)
{
    std::string name;
    DWORD maxMessage = 0;
    if (!msgQueueReadEnd(msgQueue, &name, &maxMessage) || flags == 0) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    static std::atomic<unsigned> serial { 0 };
    const std::string dir = powerDirectory();
    const std::string file = dir + "/" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    // Whole or not at all: a registration written empty (on a full device
    // root, say) would look made and never be sent anything.
    const std::string text = std::to_string(flags) + "\t" + std::to_string(maxMessage) + "\t" + name + "\n";
    if (const int error = replaceFileWhole(file, text.data(), text.size())) {
        setLastErrorFromErrno(error);
        return nullptr;
    }
    return detail::addHandle(std::make_shared<Registration>(file));
}

BOOL stopPowerNotifications(HANDLE notification)
{
    if (!detail::lookupAs<Registration>(notification)) {
        setLastError(ERROR_INVALID_HANDLE);
        return FALSE_;
    }
    return closeHandle(notification);
}

int notifyPower(DWORD message, DWORD flags, const std::string& stateName)
{
    const std::string dir = powerDirectory();
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return 0;
    std::vector<std::string> files;
    std::vector<std::string> written; // registrations a temporary name was made for
    while (dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.empty() || n[0] == '.' || n.size() < 4)
            continue;
        if (n.compare(n.size() - 4, 4, ".tmp") == 0) {
            // "<registration>.<pid>-<n>.tmp": each registration is written
            // once, so no later write of it takes away what a killed
            // registering process left. The senders do.
            const std::string stem = n.substr(0, n.size() - 4);
            const size_t dot = stem.rfind('.');
            if (dot != std::string::npos && dot > 0)
                written.push_back(stem.substr(0, dot));
            continue;
        }
        files.push_back(n);
    }
    ::closedir(d);
    std::sort(written.begin(), written.end());
    written.erase(std::unique(written.begin(), written.end()), written.end());
    for (const std::string& n : written)
        removeStaleTemporaries(dir + "/" + n);

    int reached = 0;
    for (const std::string& n : files) {
        const std::string path = dir + "/" + n;
        // A process that died without closing its registration may share its
        // queue's name with a live reader: sending for the dead one would hand
        // that reader every event twice.
        if (processGone(n)) {
            std::remove(path.c_str());
            continue;
        }
        std::ifstream in(path);
        DWORD wanted = 0, maxMessage = 0;
        std::string queue;
        if (!(in >> wanted >> maxMessage) || !std::getline(in >> std::ws, queue) || queue.empty())
            continue;
        if ((wanted & message) == 0)
            continue;
        const std::vector<uint8_t> bytes = record(message, flags, stateName, maxMessage);
        MSGQUEUEOPTIONS options { sizeof(MSGQUEUEOPTIONS), 0, 0, DWORD(bytes.size()), FALSE_ };
        HANDLE q = createMsgQueue(queue.c_str(), &options);
        const bool sent = q && writeMsgQueue(q, bytes.data(), DWORD(bytes.size()), 0, 0);
        if (q)
            closeMsgQueue(q);
        if (sent)
            ++reached;
    }
    return reached;
}

} // namespace ce
