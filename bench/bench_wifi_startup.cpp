// KivoWiFi's start-up to its first frame, beside a Qt widgets hello-world's.
// Each is started as a child program on the offscreen platform with its demo
// pictures asked for (KIVO_DEMO_SHOTS): the time runs from the start until
// the first picture's line is written to shots.txt, which each program does
// once its window has been shown and could be grabbed. Then the child is
// ended; that is not timed.
#include "bench/bench_sync_common.h"

#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// Sets a variable of this process's environment, and so of the programs it
// starts, for the lifetime of the object; the previous value comes back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* previous = std::getenv(name))
            m_previous = previous;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable()
    {
        if (m_previous)
            ::setenv(m_name, m_previous->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

// Waits until shots.txt in the watched folder has been written and closed;
// false after timeoutMs or when the child ended first.
bool waitForFirstShot(int inotifyFd, pid_t child, int timeoutMs)
{
    alignas(inotify_event) char buffer[4096];
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        pollfd p { inotifyFd, POLLIN, 0 };
        if (::poll(&p, 1, 100) > 0) {
            const ssize_t n = ::read(inotifyFd, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len && std::strcmp(event->name, "shots.txt") == 0)
                    return true;
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
            continue;
        }
        if (::waitpid(child, nullptr, WNOHANG) == child)
            return false;
    }
    return false;
}

void startToFirstFrame(benchmark::State& state, const std::string& program)
{
    kivo::bench::BenchDeviceRoot root;
    // An adapter with Zero Config on, so that KivoWiFi does not wait for one.
    root.writeFile("SystemDrive/sim/wzc.json", "{}\n");
    // KivoWiFi's own files as installed (skins, sounds, translations), so
    // that its start loads them as on the device.
    const char* const programFiles = "SystemDrive/Falmo/program/wifi";
    std::filesystem::create_directories(std::filesystem::path(root.path()) / programFiles);
    std::filesystem::copy(std::filesystem::path(KIVO_BENCH_DEVICE_TEMPLATE) / programFiles,
        std::filesystem::path(root.path()) / programFiles, std::filesystem::copy_options::recursive);
    const std::string shots = root.path() + "/shots";
    // The device root is in the environment already.
    const ScopedVariable demoShots("KIVO_DEMO_SHOTS", shots);
    const ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        std::filesystem::remove_all(shots, ec);
        std::filesystem::create_directories(shots);
        const int fd = ::inotify_init1(IN_CLOEXEC);
        ::inotify_add_watch(fd, shots.c_str(), IN_CLOSE_WRITE);
        state.ResumeTiming();
        const pid_t child = kivo::bench::startQuiet({ program });
        const bool shown = child > 0 && waitForFirstShot(fd, child, 60000);
        state.PauseTiming();
        if (child > 0) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        ::close(fd);
        if (!shown)
            state.SkipWithError("no first frame");
        state.ResumeTiming();
    }
}

void StartToFirstFrame(benchmark::State& state)
{
    startToFirstFrame(state, KIVO_BENCH_KIVOWIFI);
}
BENCHMARK(StartToFirstFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void StartToFirstFrame_Floor(benchmark::State& state)
{
    startToFirstFrame(state, KIVO_BENCH_HELLO_WINDOW);
}
BENCHMARK(StartToFirstFrame_Floor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

} // namespace
