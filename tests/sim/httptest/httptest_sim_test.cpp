// The probe library stand-in, loaded the way KivoWiFi loads it.
#include "platform/loader.h"
#include "sim/httptest/httptest_sim.h"
#include "tests/sim/httptest/local_http_server.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

namespace {

using ProbeFn = int (*)(const char16_t*, const char*);
using kivo::test::LocalHttpServer;

ProbeFn probe()
{
    static ce::HMODULE module = ce::loadLibrary("httptest.dll");
    static ProbeFn fn = module ? reinterpret_cast<ProbeFn>(ce::getProcAddress(module, "ZK_GetHttpStatus")) : nullptr;
    return fn;
}

class HttpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(probe(), nullptr);
        ASSERT_NE(server.port(), 0);
        mapHost("ws.kivoshare.com", server.port());
    }
    void mapHost(const std::string& host, uint16_t port, const std::string& extra = {})
    {
        root.writeFile(kivo::sim::HTTPTEST_CONFIG,
            "; probe routes\n[hosts]\n" + host + " = 127.0.0.1:" + std::to_string(port) + "\n" + extra);
    }

    kivo::test::TempDeviceRoot root;
    LocalHttpServer server;
};

TEST_F(HttpTest, ComparesTheAnswersStatusWithTheExpectedText)
{
    struct Case {
        LocalHttpServer::Answer answer;
        const char* expected;
        int result;
    } cases[] = {
        { LocalHttpServer::status(204, "No Content"), "204", 204 },
        { LocalHttpServer::status(204, "No Content"), " 204 ", 204 },
        { LocalHttpServer::status(200, "OK", "<html>Login to the hotel network</html>"), "204", 0 },
        { LocalHttpServer::status(302, "Found"), "204", 0 },
        { LocalHttpServer::status(200, "OK"), "200", 200 },
        { { "HTTP/1.0 204\r\n\r\n", 0 }, "204", 204 },
        { { "SSH-2.0-OpenSSH\r\n", 0 }, "204", -3 },
        { { "HTTP/1.1 20x Odd\r\n\r\n", 0 }, "204", -3 },
    };
    for (const auto& c : cases) {
        server.setAnswer(c.answer);
        EXPECT_EQ(probe()(u"http://ws.kivoshare.com/v1/generate_204.php", c.expected), c.result) << c.answer.raw;
    }
    auto seen = server.seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].requestLine, "GET /v1/generate_204.php HTTP/1.1");
    EXPECT_EQ(seen[0].host, "ws.kivoshare.com");
}

TEST_F(HttpTest, NothingAnsweringIsNegative)
{
    // Refused.
    mapHost("ws.kivoshare.com", kivo::test::closedLoopbackPort());
    EXPECT_EQ(probe()(u"http://ws.kivoshare.com/v1/generate_204.php", "204"), -1);
    // Accepted but never answered: the configured time-out ends the wait.
    mapHost("ws.kivoshare.com", server.port(), "[probe]\ntimeout_ms=200\n");
    server.setAnswer({});
    EXPECT_EQ(probe()(u"http://ws.kivoshare.com/v1/generate_204.php", "204"), -1);
    // A host with no route here is not looked up.
    EXPECT_EQ(probe()(u"http://elsewhere.example/v1/generate_204.php", "204"), -1);
}

TEST_F(HttpTest, HostsReachableWithoutMapping)
{
    server.setAnswer(LocalHttpServer::status(204, "No Content"));
    std::u16string port(u"");
    for (char c : std::to_string(server.port()))
        port += char16_t(c);
    std::u16string byAddress = u"http://127.0.0.1:" + port + u"/x";
    std::u16string byName = u"http://LOCALHOST:" + port;
    EXPECT_EQ(probe()(byAddress.c_str(), "204"), 204);
    EXPECT_EQ(probe()(byName.c_str(), "204"), 204);
    EXPECT_EQ(server.seen().back().requestLine, "GET / HTTP/1.1");
}

TEST_F(HttpTest, RefusesBadArguments)
{
    const char16_t* urls[] = {
        u"https://ws.kivoshare.com/v1/generate_204.php",
        u"ws.kivoshare.com/v1/generate_204.php",
        u"http:///path",
        u"http://ws.kivoshare.com:99999/",
        u"http://ws.kivoshare.com:/",
        u"http://user@ws.kivoshare.com/",
        u"http://ws.kivoshare.com/\u00e9",
        u"",
    };
    for (const char16_t* url : urls)
        EXPECT_EQ(probe()(url, "204"), -2);
    EXPECT_EQ(probe()(nullptr, "204"), -2);
    EXPECT_EQ(probe()(u"http://ws.kivoshare.com/", nullptr), -2);
    EXPECT_EQ(server.count(), 0u);
}

TEST_F(HttpTest, MalformedConfigurationIsIgnored)
{
    root.writeFile(kivo::sim::HTTPTEST_CONFIG,
        "garbage\n[hosts\n=nothing\n[hosts]\nws.kivoshare.com=127.0.0.1:notaport\n[probe]\ntimeout_ms=-5\n");
    EXPECT_EQ(probe()(u"http://ws.kivoshare.com/v1/generate_204.php", "204"), -1);
    EXPECT_EQ(server.count(), 0u);
}

} // namespace
