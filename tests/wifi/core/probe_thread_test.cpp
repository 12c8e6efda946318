// The probe thread against a local HTTP server standing in for the sync
// service's 204 page (routed by the probe library's host map).
#include "platform/paths.h"
#include "sim/httptest/httptest_sim.h"
#include "tests/sim/httptest/local_http_server.h"
#include "tests/support/temp_root.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/core/probe_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <thread>

namespace {

using kivo::test::LocalHttpServer;

class ProbeThread : public ::testing::Test {
protected:
    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        ce::ensureDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        WiFiChechZk::setRoundIntervalForTesting(30);
        route(server.port());
    }
    void TearDown() override { WiFiChechZk::setRoundIntervalForTesting(0); }

    void route(uint16_t port)
    {
        root.writeFile(kivo::sim::HTTPTEST_CONFIG,
            "[hosts]\nws.kivoshare.com=127.0.0.1:" + std::to_string(port) + "\n[probe]\ntimeout_ms=3000\n");
    }
    std::string verdict() const { return root.readFile(kivowifi::BROWSER_STATUS_PATH); }
    bool waitForVerdict(const std::string& want, int ms = 5000) const
    {
        for (int i = 0; i < ms / 5; ++i) {
            if (verdict() == want)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    kivo::test::TempDeviceRoot root;
    LocalHttpServer server;
};

TEST_F(ProbeThread, VerdictsForTheThreeAnswers)
{
    struct Case {
        const char* name;
        bool closedPort;
        LocalHttpServer::Answer answer;
        const char* verdict;
    } cases[] = {
        { "internet", false, LocalHttpServer::status(204, "No Content"), "LaunchBrowser=1" },
        { "portal", false, LocalHttpServer::status(200, "OK", "<html>Welcome, please log in</html>"),
            "LaunchBrowser=0" },
        { "nothing answers", true, {}, "LaunchBrowser=2" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        root.writeFile(kivowifi::BROWSER_STATUS_PATH, "LaunchBrowser=999");
        route(c.closedPort ? kivo::test::closedLoopbackPort() : server.port());
        server.setAnswer(c.answer);
        auto probe = std::make_unique<WiFiChechZk>();
        probe->start();
        EXPECT_TRUE(waitForVerdict(c.verdict)) << verdict();
        if (std::string(c.verdict) == "LaunchBrowser=0") {
            // A portal keeps being probed until stopped.
            size_t before = server.count();
            EXPECT_TRUE(server.waitForCount(before + 3, 5000));
            EXPECT_FALSE(probe->isFinished());
            EXPECT_TRUE(WiFiChechZk::stopActiveProbe());
            EXPECT_TRUE(probe->wait(5000));
        } else {
            EXPECT_TRUE(probe->wait(5000));
        }
        EXPECT_EQ(verdict(), c.verdict);
    }
    auto seen = server.seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].requestLine, "GET /v1/generate_204.php HTTP/1.1");
    EXPECT_EQ(seen[0].host, "ws.kivoshare.com");
}

TEST_F(ProbeThread, PortalThenInternetEndsWithOne)
{
    server.setAnswer(LocalHttpServer::status(302, "Found"));
    WiFiChechZk probe;
    probe.start();
    ASSERT_TRUE(waitForVerdict("LaunchBrowser=0"));
    server.setAnswer(LocalHttpServer::status(204, "No Content"));
    EXPECT_TRUE(probe.wait(5000));
    EXPECT_EQ(verdict(), "LaunchBrowser=1");
    EXPECT_EQ(probe.status(), 204);
}

TEST_F(ProbeThread, StoppedProbeNeverWritesItsLateVerdict)
{
    // The old probe's request is still out when a new join resets the
    // verdict and stops it: its late answer must not land in the file.
    LocalHttpServer::Answer slowPortal = LocalHttpServer::status(200, "OK", "portal");
    slowPortal.delayMs = 300;
    server.setAnswer(slowPortal);
    auto old = std::make_unique<WiFiChechZk>();
    old->start();
    ASSERT_TRUE(server.waitForCount(1, 5000));
    kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT);

    // A new probe stops the old one without waiting for it; the old one's
    // late answer is dropped.
    server.setAnswer(LocalHttpServer::status(204, "No Content"));
    auto next = std::make_unique<WiFiChechZk>();
    EXPECT_TRUE(old->isStopRequested());
    EXPECT_TRUE(old->wait(5000));
    EXPECT_EQ(verdict(), "LaunchBrowser=999");

    next->start();
    EXPECT_TRUE(next->wait(5000));
    EXPECT_EQ(verdict(), "LaunchBrowser=1");

    // A join only asks the running probe to stop: it returns at once, and the
    // probe's late answer is dropped all the same.
    server.setAnswer(slowPortal);
    size_t before = server.count();
    auto third = std::make_unique<WiFiChechZk>();
    third->start();
    ASSERT_TRUE(server.waitForCount(before + 1, 5000));
    kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT);
    WiFiChechZk::requestStopActiveProbe();
    EXPECT_TRUE(third->isStopRequested());
    EXPECT_TRUE(third->wait(5000));
    EXPECT_EQ(verdict(), "LaunchBrowser=999");
}

TEST_F(ProbeThread, AProbeThatNeverAnswersDelaysNeitherTheNextProbeNorTheStop)
{
    // The outside probe call hangs (its own time-out is a minute away).
    auto silent = std::make_unique<LocalHttpServer>();
    root.writeFile(kivo::sim::HTTPTEST_CONFIG,
        "[hosts]\nws.kivoshare.com=127.0.0.1:" + std::to_string(silent->port()) + "\n[probe]\ntimeout_ms=60000\n");
    LocalHttpServer::Answer never = LocalHttpServer::status(204, "No Content");
    never.delayMs = 60000;
    silent->setAnswer(never);
    auto hung = std::make_unique<WiFiChechZk>();
    hung->start();
    ASSERT_TRUE(silent->waitForCount(1, 5000));
    kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT);
    auto started = std::chrono::steady_clock::now();
    {
        WiFiChechZk next; // replaces the hung probe
        EXPECT_TRUE(hung->isStopRequested());
        EXPECT_TRUE(WiFiChechZk::stopActiveProbe()); // as the exit does
        EXPECT_TRUE(next.isStopRequested());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_FALSE(hung->isFinished());
    // The call returns once the server goes; the late verdict is dropped.
    silent.reset();
    EXPECT_TRUE(hung->wait(10000));
    EXPECT_EQ(verdict(), "LaunchBrowser=999");
}

TEST_F(ProbeThread, StopWakesThePauseAndAStoppedProbeDoesNotStart)
{
    WiFiChechZk::setRoundIntervalForTesting(60 * 60 * 1000);
    server.setAnswer(LocalHttpServer::status(200, "OK"));
    WiFiChechZk probe;
    probe.start();
    ASSERT_TRUE(waitForVerdict("LaunchBrowser=0"));
    probe.requestStop();
    EXPECT_TRUE(probe.wait(5000));

    size_t before = server.count();
    WiFiChechZk stopped;
    stopped.requestStop();
    stopped.start();
    EXPECT_TRUE(stopped.wait(5000));
    EXPECT_EQ(server.count(), before);
}

TEST_F(ProbeThread, ThreadLogFollowsTheSwitchAndNeedsItsFolder)
{
    root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini", "EnableLog=true\n");
    const std::string log = "/SystemDrive/Falmo/program/wifi/Log/WifiThreadLog.txt";
    {
        WiFiChechZk probe; // no Log folder: nothing is written, nothing created
        probe.start();
        EXPECT_TRUE(probe.wait(5000));
    }
    EXPECT_FALSE(std::filesystem::exists(ce::resolvePath("/SystemDrive/Falmo/program/wifi/Log")));
    EXPECT_TRUE(root.readFile(log).empty());

    ce::ensureDirectory("/SystemDrive/Falmo/program/wifi/Log");
    {
        WiFiChechZk probe;
        probe.start();
        EXPECT_TRUE(probe.wait(5000));
    }
    std::string text = root.readFile(log);
    EXPECT_NE(text.find(" - [In CheckLauchZK - CheckLauchZKInit()] get_status START ====>\r\n"), std::string::npos);
    EXPECT_NE(text.find(" - [In CheckLauchZK - CheckLauchZKInit()] get_status GET\r\n"), std::string::npos);
    EXPECT_NE(text.find(" - [In CheckLauchZK - CheckLauchZKInit()] get_status END <=====\r\n"), std::string::npos);

    root.writeFile("\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini", "EnableLog=false\n");
    size_t size = text.size();
    {
        WiFiChechZk probe;
        probe.start();
        EXPECT_TRUE(probe.wait(5000));
    }
    EXPECT_EQ(root.readFile(log).size(), size);
}

} // namespace
