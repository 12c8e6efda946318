// The platform layer's hot paths: a message through a named queue (every
// Zero Config event and every ANT chunk takes it), within a process and to
// another and back, each beside sequenced-packet sockets; the registry: a
// read beside a bare scan of its file, and filling a key one value at a
// time; and resolving the path of a new file.
#include "bench/bench_peer.h"
#include "platform/msgqueue.h"
#include "platform/paths.h"
#include "platform/registry.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

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

// One end of a queue of 42-byte messages.
ce::HANDLE openQueue(const char* name, bool read)
{
    const ce::MSGQUEUEOPTIONS options { sizeof(ce::MSGQUEUEOPTIONS), ce::MSGQUEUE_ALLOW_BROKEN, 0, 42, read };
    return ce::createMsgQueue(name, &options);
}

void QueueRoundTrip(benchmark::State& state)
{
    BenchRoot root;
    ce::HANDLE reader = openQueue("BenchQueue", true);
    ce::HANDLE writer = openQueue("BenchQueue", false);
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

// The same message through a pair of sequenced-packet sockets.
void QueueRoundTrip_Floor(benchmark::State& state)
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    uint8_t message[42] = { 41 };
    uint8_t got[42];
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(pair[0], message, sizeof message));
        benchmark::DoNotOptimize(::read(pair[1], got, sizeof got));
    }
    ::close(pair[0]);
    ::close(pair[1]);
}
BENCHMARK(QueueRoundTrip_Floor);

// A message to another process and back through two named queues: the
// peer reads each from one and writes it to the other.
void QueueCrossProcess(benchmark::State& state)
{
    BenchRoot root;
    ce::HANDLE pong = openQueue("BenchPong", true);
    kivo::bench::PeerProgram peer(KIVO_BENCH_QUEUE_PEER, { "queue" });
    ce::HANDLE ping = peer.ready() ? openQueue("BenchPing", false) : nullptr;
    uint8_t message[42] = { 41 };
    uint8_t got[42];
    for (auto _ : state) {
        ce::DWORD n = 0, flags = 0;
        if (!ping || !ce::writeMsgQueue(ping, message, sizeof message, 1000, 0)
            || !ce::readMsgQueue(pong, got, sizeof got, &n, 1000, &flags)) {
            state.SkipWithError("no answer from the peer");
            break;
        }
    }
    if (ping)
        ce::closeMsgQueue(ping);
    if (pong)
        ce::closeMsgQueue(pong);
}
BENCHMARK(QueueCrossProcess)->UseRealTime();

// The same round trip through a pair of sequenced-packet sockets, one end
// in the peer.
void QueueCrossProcess_Floor(benchmark::State& state)
{
    BenchRoot root;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair) != 0) {
        state.SkipWithError("no socket pair");
        return;
    }
    ::fcntl(pair[0], F_SETFD, FD_CLOEXEC);
    kivo::bench::PeerProgram peer(KIVO_BENCH_QUEUE_PEER, { "socket" }, pair[1]);
    ::close(pair[1]);
    uint8_t message[42] = { 41 };
    uint8_t got[42];
    for (auto _ : state) {
        if (!peer.ready() || ::write(pair[0], message, sizeof message) != ssize_t(sizeof message)
            || ::read(pair[0], got, sizeof got) != ssize_t(sizeof got)) {
            state.SkipWithError("no answer from the peer");
            break;
        }
    }
    ::close(pair[0]);
}
BENCHMARK(QueueCrossProcess_Floor)->UseRealTime();

const char* const kBenchKey = "Software\\Kivo\\common";

void fill(const std::string& key, int n)
{
    for (int i = 0; i < n; ++i)
        ce::reg::setString(ce::reg::Root::LocalMachine, key, "v" + std::to_string(i), "x" + std::to_string(i));
}

// A registry of range(0) values, written at once in the file's own format;
// the one read sits in the middle.
std::string writeRegistry(const BenchRoot& root, int n)
{
    ce::reg::setString(ce::reg::Root::LocalMachine, kBenchKey, "v0", "x0");
    const std::string file = root.path + "/registry.txt";
    std::string text, line;
    std::ifstream in(file);
    std::string valueLine;
    while (std::getline(in, line)) {
        if (line.rfind("V\t", 0) == 0)
            valueLine = line;
        else
            text += line + "\n";
    }
    // "V <root> <path> v0 s x0": the same line for every value.
    const std::string head = valueLine.substr(0, valueLine.find("\tv0\t"));
    for (int i = 0; i < n; ++i)
        text += head + "\tv" + std::to_string(i) + "\ts\tx" + std::to_string(i) + "\n";
    std::ofstream(file, std::ios::trunc) << text;
    // One change through the registry writes the file again as the registry
    // itself writes it (values in the order of their folded names): the
    // file another process leaves behind.
    ce::reg::setString(ce::reg::Root::LocalMachine, kBenchKey, "v0", "x0");
    return file;
}

// Another process changed the file (a new modification time each round):
// the read parses it again.
void touch(const std::string& file, long round)
{
    timespec times[2] = { { 1000000, round % 1000000000L }, { 1000000 + round / 1000000000L, round % 1000000000L } };
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
}

void RegistryRead(benchmark::State& state)
{
    BenchRoot root;
    const int n = int(state.range(0));
    const std::string file = writeRegistry(root, n);
    const std::string name = "v" + std::to_string(n / 2);
    long round = 0;
    for (auto _ : state) {
        touch(file, ++round);
        benchmark::DoNotOptimize(ce::reg::getString(ce::reg::Root::LocalMachine, kBenchKey, name));
    }
}
BENCHMARK(RegistryRead)->Arg(1000)->Arg(10000);

// The bare work of a read after a change: open the file, read it whole and
// find the value's line.
void RegistryRead_Floor(benchmark::State& state)
{
    BenchRoot root;
    const int n = int(state.range(0));
    const std::string file = writeRegistry(root, n);
    const std::string needle = "\tv" + std::to_string(n / 2) + "\ts\t";
    std::string text;
    long round = 0;
    for (auto _ : state) {
        touch(file, ++round);
        text.clear();
        std::FILE* f = std::fopen(file.c_str(), "rb");
        char buffer[65536];
        size_t got;
        while (f && (got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, got);
        if (f)
            std::fclose(f);
        size_t at = text.find(needle);
        std::string value;
        if (at != std::string::npos) {
            at += needle.size();
            value = text.substr(at, text.find('\n', at) - at);
        }
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(RegistryRead_Floor)->Arg(1000)->Arg(10000);

// Setting range(0) values one by one into an emptied key: each change is
// flushed to disk and replaces the file whole.
void RegistryFill(benchmark::State& state)
{
    BenchRoot root;
    for (auto _ : state) {
        fill("Fill", int(state.range(0)));
        state.PauseTiming();
        ce::reg::deleteKey(ce::reg::Root::LocalMachine, "Fill");
        state.ResumeTiming();
    }
}
BENCHMARK(RegistryFill)->Arg(1000)->Unit(benchmark::kMillisecond);

// The same files the fill writes, one after each value set, each written
// whole the plain way: a new file, flushed, renamed over the old one.
void RegistryFill_Floor(benchmark::State& state)
{
    BenchRoot root;
    const std::string registry = root.path + "/registry.txt";
    std::vector<std::string> texts;
    for (int i = 0; i < int(state.range(0)); ++i) {
        ce::reg::setString(ce::reg::Root::LocalMachine, "Fill", "v" + std::to_string(i), "x" + std::to_string(i));
        std::ifstream in(registry, std::ios::binary);
        texts.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    const std::string file = root.path + "/filled.txt";
    const std::string temp = file + ".tmp";
    for (auto _ : state) {
        for (const std::string& text : texts) {
            const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, text.data(), text.size()) != ssize_t(text.size()) || ::fsync(fd) != 0
                || ::close(fd) != 0 || std::rename(temp.c_str(), file.c_str()) != 0) {
                state.SkipWithError("cannot write the file");
                return;
            }
        }
    }
}
BENCHMARK(RegistryFill_Floor)->Arg(1000)->Unit(benchmark::kMillisecond);

// Not a floor but a check of linearity: the same fill beside ten fills of a
// tenth as many values. Near 1 when the fill's cost grows linearly with the
// number of values (each change flushing the file is what it costs).
void RegistryFillLinearity(benchmark::State& state)
{
    RegistryFill(state);
}
BENCHMARK(RegistryFillLinearity)->Arg(1000)->Unit(benchmark::kMillisecond);

void RegistryFillLinearity_Floor(benchmark::State& state)
{
    BenchRoot root;
    for (auto _ : state) {
        for (int round = 0; round < 10; ++round) {
            fill("Fill", int(state.range(0)) / 10);
            state.PauseTiming();
            ce::reg::deleteKey(ce::reg::Root::LocalMachine, "Fill");
            state.ResumeTiming();
        }
    }
}
BENCHMARK(RegistryFillLinearity_Floor)->Arg(1000)->Unit(benchmark::kMillisecond);

// Resolving the path of a file that does not exist yet (what every new
// track, catalog and log file costs) in a folder of range(0) files, beside a
// bare lstat of the same path.
void makeFolder(const std::string& dir, int files)
{
    std::filesystem::create_directories(dir);
    for (int i = 0; i < files; ++i)
        std::fclose(std::fopen((dir + "/Track" + std::to_string(i) + ".GPX").c_str(), "w"));
}

void ResolveNewPath(benchmark::State& state)
{
    BenchRoot root;
    makeFolder(root.path + "/DataDrive/Falmo/Tracks", int(state.range(0)));
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ce::resolvePath("\\DataDrive\\Falmo\\Tracks\\new" + std::to_string(i++ % 64) + ".gpx"));
}
BENCHMARK(ResolveNewPath)->Arg(10)->Arg(1000)->Arg(10000);

void ResolveNewPath_Floor(benchmark::State& state)
{
    BenchRoot root;
    const std::string dir = root.path + "/DataDrive/Falmo/Tracks";
    makeFolder(dir, int(state.range(0)));
    int i = 0;
    struct stat st;
    for (auto _ : state) {
        std::string p = dir + "/new" + std::to_string(i++ % 64) + ".gpx";
        benchmark::DoNotOptimize(::lstat(p.c_str(), &st));
    }
}
BENCHMARK(ResolveNewPath_Floor)->Arg(10)->Arg(1000)->Arg(10000);

} // namespace
