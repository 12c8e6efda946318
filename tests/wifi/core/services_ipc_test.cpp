#include "wifi/core/IPCHelper.h"

#include "platform/paths.h"
#include "platform/sync.h"
#include "platform/wm.h"
#include "tests/support/temp_root.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

const char* const kPeerLog = "\\SystemDrive\\Falmo\\KivoMap\\kivomap_peer.log";
// Where KivoMap's answer carries the typed text (NUL-terminated UTF-16).
constexpr size_t kKeyboardDataTextOffset = 1048;

std::vector<uint8_t> bytesOf(const KeyboardRequestRecord& record)
{
    std::vector<uint8_t> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

uint32_t u32At(const std::vector<uint8_t>& b, size_t offset)
{
    return uint32_t(b[offset]) | uint32_t(b[offset + 1]) << 8 | uint32_t(b[offset + 2]) << 16
        | uint32_t(b[offset + 3]) << 24;
}

// The UTF-16 text at an offset, up to its NUL or maxUnits.
QString textAt(const std::vector<uint8_t>& b, size_t offset, size_t maxUnits)
{
    QString text;
    for (size_t i = 0; i < maxUnits && offset + 2 * i + 1 < b.size(); ++i) {
        ushort unit = ushort(b[offset + 2 * i] | b[offset + 2 * i + 1] << 8);
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

bool allZero(const std::vector<uint8_t>& b, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i) {
        if (b[i] != 0)
            return false;
    }
    return true;
}

TEST(KeyboardRequestRecord, LayoutForPasswordAndPlainTitles)
{
    struct Case {
        bool password;
        QString title;
        uint32_t type;
    };
    const Case cases[] = {
        { true, "Password of HomeNet", 2 }, { false, "Network name", 0 },
        { false, QString::fromUtf8("Caf\xc3\xa9 \xf0\x9f\x9a\xb2"), 0 }, // accents and a surrogate pair
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> b = bytesOf(IPCHelper::makeKeyboardRequest(c.password, c.title));
        ASSERT_EQ(b.size(), 1560u);
        EXPECT_EQ(u32At(b, 0), 3u);
        EXPECT_EQ(textAt(b, 4, 514), c.title);
        EXPECT_TRUE(allZero(b, 4 + 2 * size_t(c.title.size()), 1032)) << "title field padded with zeros";
        EXPECT_EQ(u32At(b, 1032), 1u);
        EXPECT_EQ(u32At(b, 1036), c.type);
        EXPECT_TRUE(allZero(b, 1040, 1560));
    }
}

TEST(KeyboardRequestRecord, EmptyTitleAndLongTitles)
{
    std::vector<uint8_t> b = bytesOf(IPCHelper::makeKeyboardRequest(true, QString()));
    EXPECT_EQ(textAt(b, 4, 514), "Enter password");
    EXPECT_EQ(u32At(b, 1036), 2u);

    // At most 513 characters and the NUL fit the field.
    b = bytesOf(IPCHelper::makeKeyboardRequest(false, QString(600, 'x')));
    EXPECT_EQ(textAt(b, 4, 514), QString(513, 'x'));
    EXPECT_EQ(b[4 + 2 * 513], 0);
    EXPECT_EQ(b[4 + 2 * 513 + 1], 0);
    EXPECT_EQ(u32At(b, 1032), 1u);

    // A surrogate pair that would be split at the end is left out whole.
    const QString pair = QString::fromUtf8("\xf0\x9f\x9a\xb2");
    b = bytesOf(IPCHelper::makeKeyboardRequest(false, QString(512, 'y') + pair));
    EXPECT_EQ(textAt(b, 4, 514), QString(512, 'y'));
}

// Starts kivomap_peer in the test's device root and stops it at the end.
class PeerProcess {
public:
    PeerProcess(const std::string& root, std::vector<std::string> args)
    {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            if (std::strncmp(*e, "KIVO_DEVICE_ROOT=", 17) != 0)
                env.emplace_back(*e);
        }
        env.push_back("KIVO_DEVICE_ROOT=" + root);
        args.insert(args.begin(), KIVO_TEST_KIVOMAP_PEER);
        args.push_back("--quiet");
        std::vector<char*> argv, envp;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        if (posix_spawn(&m_pid, KIVO_TEST_KIVOMAP_PEER, nullptr, nullptr, argv.data(), envp.data()) != 0)
            m_pid = -1;
    }
    ~PeerProcess()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    bool started() const { return m_pid > 0; }

private:
    pid_t m_pid = -1;
};

std::string peerLog()
{
    std::ifstream f(ce::resolvePath(kPeerLog), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Waits (bounded) until cond holds, pumping this thread's window messages.
template <typename Cond> bool waitFor(Cond cond, int timeoutMs = 15000)
{
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        ce::pumpMessages();
        if (cond())
            return true;
        ce::sleep(10);
    }
    return cond();
}

bool peerReady()
{
    return peerLog().find("ready\n") != std::string::npos;
}

class IPCHelperTest : public ::testing::Test {
protected:
    void TearDown() override { IPCHelper::setFlowWindow(nullptr); }
    kivo::test::TempDeviceRoot m_root;
};

TEST_F(IPCHelperTest, WithoutKivoMapNothingIsSentAndTheResultIsSeven)
{
    EXPECT_EQ(IPCHelper::findKivoMapWindow(), nullptr);
    EXPECT_EQ(IPCHelper::instance()->notifyStatus(1), 7);
    EXPECT_EQ(IPCHelper::instance()->createKeyboard(true, "Password"), 7);

    // A window of another name is not KivoMap.
    ce::HWND other = ce::createWindow("KivoMapX", "Map", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) { return 0; });
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(IPCHelper::instance()->notifyStatus(1), 7);
    ce::destroyWindow(other);

    // Nor is a child window, whatever its names.
    ce::HWND child = ce::createWindow(
        "KivoMap", "KivoMap", [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) { return 0; }, false);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(IPCHelper::findKivoMapWindow(), nullptr);
    EXPECT_EQ(IPCHelper::instance()->notifyStatus(1), 7);
    ce::destroyWindow(child);
}

TEST_F(IPCHelperTest, StatusPostsReachKivoMapInAnotherProcess)
{
    PeerProcess peer(m_root.path(), {});
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(waitFor(peerReady));
    ASSERT_TRUE(waitFor([] { return IPCHelper::findKivoMapWindow() != nullptr; }));

    EXPECT_EQ(IPCHelper::instance()->notifyStatus(3), 0);
    EXPECT_EQ(IPCHelper::instance()->notifyStatus(0), 0);
    EXPECT_TRUE(waitFor([] { return peerLog().find("status 3\nstatus 0\n") != std::string::npos; })) << peerLog();
}

TEST_F(IPCHelperTest, KivoMapIsFoundByTitleWhenNoWindowHasItsClass)
{
    PeerProcess peer(m_root.path(), { "--class", "NaviMain" });
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(waitFor(peerReady));
    ASSERT_TRUE(waitFor([] { return IPCHelper::findKivoMapWindow() != nullptr; }));
    EXPECT_EQ(IPCHelper::instance()->notifyStatus(2), 0);
    EXPECT_TRUE(waitFor([] { return peerLog().find("status 2\n") != std::string::npos; })) << peerLog();
}

TEST_F(IPCHelperTest, KeyboardRequestRoundTripsTheTypedText)
{
    const std::string typed = "s3cret p\xc3\xa4ss";
    PeerProcess peer(m_root.path(), { "--text", typed });
    ASSERT_TRUE(peer.started());
    ASSERT_TRUE(waitFor(peerReady));
    ASSERT_TRUE(waitFor([] { return IPCHelper::findKivoMapWindow() != nullptr; }));

    // Stands in for the flow's window, which reads KivoMap's answer.
    const ce::UINT keyboardData = ce::registerWindowMessage("WM_KEYBD_OUT_GETKEYBDDATA");
    QString received;
    bool answered = false;
    ce::HWND flow = ce::createWindow(
        "KivoWiFiTestFlow", "KivoWiFi", [&](ce::HWND, ce::UINT message, ce::WPARAM, ce::LPARAM lParam) -> ce::LRESULT {
            if (message != ce::WM_COPYDATA)
                return 0;
            auto* data = reinterpret_cast<const ce::COPYDATASTRUCT*>(lParam);
            if (!data || data->dwData != keyboardData || data->cbData <= kKeyboardDataTextOffset)
                return 0;
            const auto* bytes = static_cast<const uint8_t*>(data->lpData);
            std::vector<uint8_t> copy(bytes, bytes + data->cbData);
            received = textAt(copy, kKeyboardDataTextOffset, (data->cbData - kKeyboardDataTextOffset) / 2);
            answered = true;
            return 1;
        });
    ASSERT_NE(flow, nullptr);

    // Without the flow's window the request is not sent.
    EXPECT_EQ(IPCHelper::instance()->createKeyboard(true, "Wi-Fi password"), 0);
    IPCHelper::setFlowWindow(flow);
    EXPECT_EQ(IPCHelper::instance()->createKeyboard(true, "Wi-Fi password"), 0);

    EXPECT_TRUE(waitFor([&] { return answered; }));
    EXPECT_EQ(received, QString::fromStdString(typed));
    const std::string log = peerLog();
    EXPECT_NE(log.find("keyboard kind=3 one=1 type=2 title=Wi-Fi password\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("keyboard", log.find("keyboard") + 1), std::string::npos) << "one request only";
    ce::destroyWindow(flow);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
