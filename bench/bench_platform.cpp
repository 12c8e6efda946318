// The platform layer's hot paths: a message through a named queue (every
// Zero Config event and every ANT chunk takes it) and a registry read.
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

namespace {

struct BenchRoot {
    BenchRoot()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kivo-bench-XXXXXX").string();
        if (mkdtemp(tmpl.data()))
            ce::setDeviceRoot(tmpl);
        path = tmpl;
    }
    ~BenchRoot()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

void QueueRoundTrip(benchmark::State& state)
{
    BenchRoot root;
    ce::MSGQUEUEOPTIONS r { sizeof(ce::MSGQUEUEOPTIONS), ce::MSGQUEUE_ALLOW_BROKEN, 0, 42, 1 };
    ce::MSGQUEUEOPTIONS w = r;
    w.bReadAccess = 0;
    ce::HANDLE reader = ce::createMsgQueue("BenchQueue", &r);
    ce::HANDLE writer = ce::createMsgQueue("BenchQueue", &w);
    uint8_t message[42] = { 41 };
    uint8_t got[42];
    for (auto _ : state) {
        ce::DWORD n = 0, flags = 0;
        ce::writeMsgQueue(writer, message, sizeof message, 1000, 0);
        ce::readMsgQueue(reader, got, sizeof got, &n, 1000, &flags);
    }
    ce::closeMsgQueue(writer);
    ce::closeMsgQueue(reader);
}
BENCHMARK(QueueRoundTrip);

void RegistryRead(benchmark::State& state)
{
    BenchRoot root;
    for (int i = 0; i < 50; ++i)
        ce::reg::setString(ce::reg::Root::LocalMachine, "Software\\Kivo\\common", "v" + std::to_string(i), "x");
    for (auto _ : state)
        benchmark::DoNotOptimize(ce::reg::getString(ce::reg::Root::LocalMachine, "Software\\Kivo\\common", "v7"));
}
BENCHMARK(RegistryRead);

} // namespace
