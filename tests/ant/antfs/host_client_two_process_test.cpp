// The ANT-FS host through its exports in this process, against the ANT-FS
// client in another process of the same device root: each has a simulated
// radio of its own, and the two radios share the air.
#include "ant/antfs/antfs_host_api.h"
#include "ant/antfs/antfs_host_engine.h"
#include "ant/core/ant_library.h"
#include "ant/senvoy.h"
#include "ant/senvoy_antfs.h"

#include "platform/paths.h"
#include "sim/ant_radio/ant_radio_model.h"
#include "sim/ant_radio/ant_radio_sim.h"
#include "tests/ant/antfs/antfs_client_image.h"
#include "tests/support/programs.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using kivo::sim::AntRadioModel;
using kivo::sim::AntRadioSim;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr int kWaitMs = 20000;

// Progress events (104, 108) are skipped by every wait below.
bool isProgress(uint32_t code)
{
    return code == 104 || code == 108;
}

struct HostEvents {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<uint32_t, uintptr_t>> all;
    size_t cursor = 0;
    ANTFSHostDeviceInfo info {};

    static void callback(uint32_t, uint32_t code, uintptr_t parameter, void* context)
    {
        auto* self = static_cast<HostEvents*>(context);
        std::lock_guard<std::mutex> lock(self->m);
        if (code == 115 && parameter)
            self->info = *reinterpret_cast<const ANTFSHostDeviceInfo*>(parameter);
        self->all.emplace_back(code, parameter);
        self->cv.notify_all();
    }
    uint32_t next(uintptr_t* parameter = nullptr)
    {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            if (!cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return all.size() > cursor; }))
                return 0;
            auto e = all[cursor++];
            if (isProgress(e.first))
                continue;
            if (parameter)
                *parameter = e.second;
            return e.first;
        }
    }
};

// The client program: its stdin takes commands, its stdout gives one line
// per event or answer.
class ClientProcess {
public:
    bool start()
    {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0)
            return false;
        if (::pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            ::close(in[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        m_pid = kivo::test::spawnProgram("antfs_client_peer", {}, &actions);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
        return m_pid > 0;
    }
    ~ClientProcess()
    {
        if (m_in >= 0)
            ::close(m_in); // a client still running ends at the end of its input
        if (m_pid > 0 && !waitExit(kWaitMs)) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    void command(const std::string& line)
    {
        std::string l = line + "\n";
        ASSERT_EQ(::write(m_in, l.data(), l.size()), ssize_t(l.size()));
    }
    // The next line of output; empty after kWaitMs of silence or at its end.
    std::string line()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
        for (;;) {
            size_t nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string l = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return l;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            pollfd p { m_out, POLLIN, 0 };
            if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0)
                return {};
            char chunk[256];
            ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return {};
            m_buffer.append(chunk, size_t(n));
        }
    }
    // The client's next event other than progress; 0 when none came.
    uint32_t next(uintptr_t* parameter = nullptr)
    {
        for (;;) {
            std::istringstream in(line());
            std::string word;
            unsigned long code = 0, value = 0;
            if (!(in >> word >> code >> value) || word != "event")
                return 0;
            if (isProgress(uint32_t(code)))
                continue;
            if (parameter)
                *parameter = uintptr_t(value);
            return uint32_t(code);
        }
    }
    bool waitExit(int timeoutMs, int* status = nullptr)
    {
        int s = 0;
        bool done = kivo::test::waitUntil([&] { return ::waitpid(m_pid, &s, WNOHANG) == m_pid; }, timeoutMs);
        if (done) {
            m_pid = -1;
            if (status)
                *status = s;
        }
        return done;
    }
    void closeInput()
    {
        ::close(m_in);
        m_in = -1;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_buffer;
};

Bytes readLinux(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(TwoProcesses, TheHostFindsLinksAndTransfersWithAClientOfAnotherProcess)
{
    kivo::test::TempDeviceRoot root;
    ce::ensureDirectory("\\SystemDrive");
    AntRadioSim sim;
    sim.install();
    ASSERT_TRUE(sim.joinAir());
    sim.setAnswerMode(AntRadioSim::AnswerMode::Immediate);
    ASSERT_EQ(ANTLIB_Init(), 1);
    uint32_t event = 0;
    ASSERT_TRUE(senvoy::ANTLIB_Manager()->waitEvent(kWaitMs, &event));
    sim.startClock();

    ClientProcess client;
    ASSERT_TRUE(client.start());
    ASSERT_EQ(client.next(), 201u); // its beacon is open

    HostEvents host;
    ASSERT_EQ(ANTFSHost_InitEx(&host, &HostEvents::callback), 1);
    ASSERT_EQ(ANTFSHost_Open(0), 1); // channel 0 here as well: another radio

    ASSERT_EQ(ANTFSHost_Search(), 1);
    ASSERT_EQ(host.next(), 115u);
    EXPECT_EQ(client.next(), 202u);
    EXPECT_EQ(client.next(), 205u); // the host asked who it is
    EXPECT_EQ(host.info.serialNumber, 0x12345678u);
    EXPECT_EQ(host.info.deviceType, 1);
    EXPECT_EQ(host.info.channelDeviceNumber, 0x5678);
    // Both radios moved to the link's frequency.
    const unsigned code = senvoy::ANTFSHost_CurrentEngine()->linkFrequencyAt(0);
    sim.withModel([&](AntRadioModel& m) { EXPECT_EQ(m.channel(0).rf, code); });
    client.command("rf");
    EXPECT_EQ(client.line(), "rf " + std::to_string(code));

    ASSERT_EQ(ANTFSHost_PassThru(), 1);
    EXPECT_EQ(host.next(), 109u);
    EXPECT_EQ(client.next(), 206u);

    const Bytes directory = kivo::test::antfsClientDirectory();
    ASSERT_EQ(ANTFSHost_Directory(), 1);
    uintptr_t parameter = 99;
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 0u);
    EXPECT_EQ(client.next(), 211u);
    const uint8_t* dir = static_cast<const uint8_t*>(ANTFSHost_GetDirectoryData());
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(Bytes(dir, dir + directory.size()), directory);

    ASSERT_EQ(ANTFSHost_Download(5, 0, 0), 1);
    EXPECT_EQ(host.next(&parameter), 101u);
    EXPECT_EQ(parameter, 5u);
    EXPECT_EQ(client.next(), 211u);
    EXPECT_EQ(readLinux(ce::resolvePath("\\SystemDrive\\5.dat")), kivo::test::antfsClientFile5());

    ASSERT_EQ(ANTFSHost_Erase(5), 1);
    EXPECT_EQ(client.next(&parameter), 224u);
    EXPECT_EQ(parameter, 5u);
    client.command("erase-response 0");
    EXPECT_EQ(host.next(), 116u);
    EXPECT_EQ(client.next(), 225u);

    const uint8_t data[16] = { 1, 2, 3 };
    ASSERT_EQ(ANTFSHost_Upload(7, sizeof data, data), 1);
    EXPECT_EQ(host.next(), 106u); // refused: this client takes no uploads
    EXPECT_EQ(client.next(), 219u);

    ASSERT_EQ(ANTFSHost_Disconnect(), 1);
    EXPECT_EQ(host.next(), 114u);
    EXPECT_EQ(client.next(), 203u);
    EXPECT_EQ(client.next(), 229u);

    client.command("quit");
    int status = -1;
    EXPECT_TRUE(client.waitExit(kWaitMs, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    ANTFSHost_Close();
    ANTFSHost_DeinitEx();
    sim.stopClock();
    ANTLIB_Deinit();
}
