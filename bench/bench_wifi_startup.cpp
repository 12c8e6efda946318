// KivoWiFi's start-up to its first frame, beside a Qt widgets hello-world's.
// Each is started as a child program on the offscreen platform with its demo
// pictures asked for (KIVO_DEMO_SHOTS): the time runs from the start until
// the first picture's line is written to shots.txt, which each program does
// once its window has been shown and could be grabbed. Then the child is
// ended; that is not timed.
#include "bench/bench_sync_common.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

// Starts program with the given environment on top of this one's; its
// output is discarded. -1 when it cannot be started.
pid_t start(const std::string& program, const std::vector<std::string>& overrides)
{
    std::vector<std::string> env = overrides;
    for (char** e = environ; *e; ++e) {
        const std::string kv = *e;
        bool replaced = false;
        for (const std::string& o : overrides)
            replaced = replaced || kv.compare(0, o.find('=') + 1, o, 0, o.find('=') + 1) == 0;
        if (!replaced)
            env.push_back(kv);
    }
    std::vector<char*> envp;
    for (std::string& kv : env)
        envp.push_back(kv.data());
    envp.push_back(nullptr);
    std::string path = program;
    char* argv[] = { path.data(), nullptr };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

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
    const std::vector<std::string> env
        = { "KIVO_DEVICE_ROOT=" + root.path(), "KIVO_DEMO_SHOTS=" + shots, "QT_QPA_PLATFORM=offscreen" };
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        std::filesystem::remove_all(shots, ec);
        std::filesystem::create_directories(shots);
        const int fd = ::inotify_init1(IN_CLOEXEC);
        ::inotify_add_watch(fd, shots.c_str(), IN_CLOSE_WRITE);
        state.ResumeTiming();
        const pid_t child = start(program, env);
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
