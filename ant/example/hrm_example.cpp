// senvoy_hrm_example: a program outside the library, as its users write
// them. It loads Senvoy with the platform's loader, connects a heart-rate
// strap on channel 0 and prints the heart-rate records it receives.
//
//   senvoy_hrm_example [--records N] [--no-sim]
//
// Unless --no-sim is given it first starts the simulated radio
// (ant_radio_sim, next to this program) as a process of its own with one
// strap beating at 72 bpm, and stops it at the end. The key of ANT
// network 1 comes from the device's registry (value NetworkKey1 of
// HKEY_LOCAL_MACHINE\Software\Kivo\Senvoy); without one, this example
// stores a key of its own making there, which the simulated strap accepts.
// It exits with 0 once it has printed N heart-rate records.
#include "ant/senvoy.h"
#include "platform/loader.h"
#include "platform/registry.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

extern char** environ;

namespace {

struct Received {
    std::mutex m;
    std::condition_variable cv;
    int count = 0;
};

void onRecord(uint32_t code, uint32_t, const uint8_t* record, uint32_t length, void* context)
{
    auto* received = static_cast<Received*>(context);
    if (code != ANTSENSOR_CODE_HRM || length < 8)
        return;
    uint32_t rate;
    std::memcpy(&rate, record + 4, 4);
    if (!record[1]) {
        std::printf("channel %u: closed\n", record[0]);
        std::fflush(stdout);
        return;
    }
    std::printf("channel %u: %u bpm\n", record[0], rate);
    std::fflush(stdout);
    std::lock_guard<std::mutex> lock(received->m);
    ++received->count;
    received->cv.notify_all();
}

// The simulated radio as a child process, driven through its stdin.
class RadioProcess {
public:
    bool start()
    {
        char self[4096];
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        if (n <= 0)
            return false;
        self[n] = 0;
        std::string path = self;
        path = path.substr(0, path.rfind('/') + 1) + "ant_radio_sim";
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        char answer[] = "--answer";
        char* argv[] = { path.data(), answer, nullptr };
        int r = posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_in = ::fdopen(in[1], "w");
        m_out = ::fdopen(out[0], "r");
        return r == 0 && m_in && m_out && readLine() == "ready";
    }
    bool command(const std::string& line)
    {
        std::fprintf(m_in, "%s\n", line.c_str());
        std::fflush(m_in);
        for (;;) {
            std::string reply = readLine();
            if (reply == "ok")
                return true;
            if (reply.empty() || reply.rfind("error", 0) == 0)
                return false;
        }
    }
    ~RadioProcess()
    {
        if (m_in) {
            command("quit");
            std::fclose(m_in);
        }
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
        if (m_out)
            std::fclose(m_out);
    }

private:
    std::string readLine()
    {
        char line[256];
        if (!m_out || !std::fgets(line, sizeof line, m_out))
            return {};
        std::string s = line;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        return s;
    }
    pid_t m_pid = -1;
    FILE* m_in = nullptr;
    FILE* m_out = nullptr;
};

template <class F>
bool resolve(ce::HMODULE module, const char* name, F& fn)
{
    fn = reinterpret_cast<F>(ce::getProcAddress(module, name));
    if (!fn)
        std::fprintf(stderr, "senvoy_hrm_example: Senvoy has no %s\n", name);
    return fn != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    int wanted = 5;
    bool simulate = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--records" && i + 1 < argc)
            wanted = std::atoi(argv[++i]);
        else if (a == "--no-sim")
            simulate = false;
        else {
            std::fprintf(stderr, "usage: senvoy_hrm_example [--records N] [--no-sim]\n");
            return 2;
        }
    }

    if (!ce::reg::getString(ce::reg::Root::LocalMachine, "Software\\Kivo\\Senvoy", "NetworkKey1")) {
        std::printf("no key for ANT network 1 configured; storing this example's own\n");
        ce::reg::setString(ce::reg::Root::LocalMachine, "Software\\Kivo\\Senvoy", "NetworkKey1", "5E 4E 56 4F 59 21 48 52");
    }

    RadioProcess radio;
    if (simulate && (!radio.start() || !radio.command("strap add 4321 72") || !radio.command("clock start"))) {
        std::fprintf(stderr, "senvoy_hrm_example: the simulated radio did not start\n");
        return 1;
    }

    ce::HMODULE senvoy = ce::loadLibrary("Senvoy.dll");
    if (!senvoy) {
        std::fprintf(stderr, "senvoy_hrm_example: cannot load Senvoy.dll\n");
        return 1;
    }
    int (*init)() = nullptr;
    void (*deinit)() = nullptr;
    int (*sensorInit)(void*, ANTSensorCallback) = nullptr;
    void (*sensorDeinit)() = nullptr;
    int (*connect)(uint8_t, uint16_t, uint8_t) = nullptr;
    int (*disconnect)(uint8_t) = nullptr;
    if (!resolve(senvoy, "ANTLIB_Init", init) || !resolve(senvoy, "ANTLIB_Deinit", deinit)
        || !resolve(senvoy, "ANTSENSOR_Init", sensorInit) || !resolve(senvoy, "ANTSENSOR_Deinit", sensorDeinit)
        || !resolve(senvoy, "ANTHRM_Connect", connect) || !resolve(senvoy, "ANTHRM_Disconnect", disconnect))
        return 1;

    Received received;
    int result = 1;
    if (!init()) {
        std::fprintf(stderr, "senvoy_hrm_example: ANTLIB_Init failed\n");
    } else {
        sensorInit(&received, &onRecord);
        // The radio opens in the background: try to connect for a while.
        int connected = 0;
        for (int i = 0; i < 50 && connected != 1; ++i) {
            connected = connect(0, 0, 30);
            if (connected != 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (connected != 1) {
            std::fprintf(stderr, "senvoy_hrm_example: ANTHRM_Connect failed\n");
        } else {
            std::printf("connected on channel 0\n");
            std::unique_lock<std::mutex> lock(received.m);
            if (received.cv.wait_for(lock, std::chrono::seconds(30), [&] { return received.count >= wanted; }))
                result = 0;
            else
                std::fprintf(stderr, "senvoy_hrm_example: only %d records\n", received.count);
        }
        sensorDeinit();
        disconnect(0);
        deinit();
    }
    ce::freeLibrary(senvoy);
    return result;
}
