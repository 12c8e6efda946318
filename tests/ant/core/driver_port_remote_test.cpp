// The simulated radio as its own program: the port reaches it through the
// device socket and the queue, both across processes.
#include "ant/core/ant_framer.h"
#include "ant/core/ant_port.h"

#include "platform/paths.h"
#include "tests/ant/core/framer_reads.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace senvoy;
using namespace senvoy::test;

namespace {

// ant_radio_sim started as a child of this test, with pipes on its stdin
// and stdout.
class SimProcess {
public:
    explicit SimProcess(const std::string& root)
    {
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::vector<std::string> env = { "KIVO_DEVICE_ROOT=" + root };
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("KIVO_DEVICE_ROOT=", 0) != 0)
                env.push_back(*e);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::string path = ANT_RADIO_SIM_PATH;
        char* argv[] = { path.data(), nullptr };
        if (posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_in = ::fdopen(in[1], "w");
        m_out = ::fdopen(out[0], "r");
    }
    ~SimProcess()
    {
        if (m_in)
            std::fclose(m_in);
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out)
            std::fclose(m_out);
    }
    bool started() const { return m_pid > 0 && m_in && m_out; }
    std::string readLine()
    {
        char line[512];
        if (!std::fgets(line, sizeof line, m_out))
            return {};
        std::string s = line;
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        return s;
    }
    // Sends a command; returns its lines up to and including "ok" / "error: ...".
    std::vector<std::string> command(const std::string& cmd)
    {
        std::fprintf(m_in, "%s\n", cmd.c_str());
        std::fflush(m_in);
        std::vector<std::string> lines;
        for (;;) {
            std::string l = readLine();
            lines.push_back(l);
            if (l.empty() || l == "ok" || l.rfind("error", 0) == 0)
                return lines;
        }
    }
    int wait()
    {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    FILE* m_in = nullptr;
    FILE* m_out = nullptr;
};

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST(DriverPortRemote, SimulatorInAnotherProcessServesThePort)
{
    kivo::test::TempDeviceRoot root;
    SimProcess sim(root.path());
    ASSERT_TRUE(sim.started());
    ASSERT_EQ(sim.readLine(), "ready");

    ANTDriverPort port;
    ANTFramer framer;
    ASSERT_EQ(framer.setPort(&port), 1);
    port.setListener(&framer);
    ASSERT_EQ(port.open(), 1);

    // Sent frames are logged byte for byte by the other process.
    const uint8_t reset[] = { 0x4A, 0x00 };
    const uint8_t assign[] = { 0x42, 0x01, 0x00, 0x00 };
    EXPECT_EQ(framer.writeMessage(reset, 1), 1);
    EXPECT_EQ(framer.writeMessage(assign, 3), 1);
    EXPECT_EQ(sim.command("wait-sent 2 10000").back(), "ok");
    auto log = sim.command("log");
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(endsWith(log[0], " tx A4 01 4A 00 EF 00 00 ok")) << log[0];
    EXPECT_TRUE(endsWith(log[1], " tx A4 03 42 01 00 00 E4 00 00 ok")) << log[1];

    // Received frames come through the queue, split over one-byte messages.
    EXPECT_EQ(sim.command("chunks 1").back(), "ok");
    EXPECT_EQ(sim.command("frame 6F 20").back(), "ok");
    EXPECT_EQ(sim.command("chunks random 5").back(), "ok");
    EXPECT_EQ(sim.command("frame 40 01 42 00").back(), "ok");
    EXPECT_EQ(readResults(framer, 2), (std::vector<Bytes> { { 0x6F, 0x20 }, { 0x40, 0x01, 0x42, 0x00 } }));

    // Faults from the other side.
    EXPECT_EQ(sim.command("fault checksum").back(), "ok");
    EXPECT_EQ(sim.command("frame 6F 20").back(), "ok");
    EXPECT_EQ(sim.command("fault serial-error 3").back(), "ok");
    EXPECT_EQ(
        readResults(framer, 2), (std::vector<Bytes> { { 0xEE, ANT_ERROR_PORT, ANT_CODE_CHECKSUM }, { 0xAE, 0x03 } }));
    EXPECT_EQ(sim.command("fault write 1").back(), "ok");
    EXPECT_EQ(framer.writeMessage(reset, 1), 0);
    EXPECT_EQ(readResults(framer, 1), (std::vector<Bytes> { { 0xEE, ANT_ERROR_PORT, ANT_CODE_WRITE } }));
    EXPECT_EQ(sim.command("bogus").back().rfind("error", 0), 0u);

    // An ANT-FS host on the air of channel 1.
    EXPECT_EQ(sim.command("antfs ack 01 44 02 14 04").back(), "ok");
    EXPECT_EQ(sim.command("antfs burst 01 44 09 00 00 00 00 00 00 00 01").back(), "ok");
    EXPECT_EQ(sim.command("antfs event 01 04").back(), "ok");
    EXPECT_EQ(readResults(framer, 4),
        (std::vector<Bytes> { { 0x4F, 0x01, 0x44, 0x02, 0x14, 0x04, 0, 0, 0, 0 },
            { 0x50, 0x01, 0x44, 0x09, 0, 0, 0, 0, 0, 0 }, { 0x50, 0xA1, 0x00, 0x01, 0, 0, 0, 0, 0, 0 },
            { 0x40, 0x01, 0x01, 0x04 } }));
    EXPECT_EQ(sim.command("antfs event 01").back().rfind("error", 0), 0u);

    port.close();
    EXPECT_EQ(sim.command("quit").back(), "ok");
    EXPECT_EQ(sim.wait(), 0);

    // The frame log file under the device root holds the same lines.
    std::string file = root.readFile("\\SystemDrive\\Sim\\AntRadio\\frames.log");
    EXPECT_NE(file.find(" tx A4 01 4A 00 EF 00 00 ok\n"), std::string::npos);
    EXPECT_NE(file.find(" rx A4 01 6F 20 EA queued\n"), std::string::npos);
    EXPECT_NE(file.find(" tx A4 01 4A 00 EF 00 00 write-fault\n"), std::string::npos);
}
