#include "platform/registry.h"
#include "platform/types.h"

#include "tests/support/confined.h"
#include "tests/platform/peer.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

using ce::reg::Root;

TEST(Registry, ValuesKeysAndCase)
{
    kivo::test::TempDeviceRoot root;
    EXPECT_TRUE(ce::reg::setString(Root::LocalMachine, "Software\\Kivo\\common", "Language", "de-DE"));
    EXPECT_TRUE(ce::reg::setDword(Root::LocalMachine, "Software/Kivo/common", "Day Night settings", 1));
    EXPECT_EQ(ce::reg::getString(Root::LocalMachine, "software\\kivo\\COMMON", "language"), "de-DE");
    EXPECT_EQ(ce::reg::getDword(Root::LocalMachine, "Software\\Kivo\\common", "Day Night settings"), 1u);
    // Type and root are kept apart.
    EXPECT_FALSE(ce::reg::getDword(Root::LocalMachine, "Software\\Kivo\\common", "Language"));
    EXPECT_FALSE(ce::reg::getString(Root::CurrentUser, "Software\\Kivo\\common", "Language"));
    // Texts with separators and line breaks survive the file.
    std::string odd = "a\tb\nc\\d";
    EXPECT_TRUE(ce::reg::setString(Root::CurrentUser, "X", "odd", odd));
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "x", "ODD"), odd);
    EXPECT_TRUE(ce::reg::deleteValue(Root::CurrentUser, "X", "odd"));
    EXPECT_FALSE(ce::reg::deleteValue(Root::CurrentUser, "X", "odd"));
}

TEST(Registry, ClearAndDeleteKeys)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Wlan1", "Identity", "me");
    ce::reg::setDword(Root::CurrentUser, "Comm\\EAPOL", "Flags", 3);
    ce::reg::setDword(Root::CurrentUser, "Comm\\Other", "Keep", 1);
    EXPECT_EQ(ce::reg::subKeys(Root::CurrentUser, "Comm"), (std::vector<std::string> { "EAPOL", "Other" }));
    EXPECT_TRUE(ce::reg::clearKey(Root::CurrentUser, "comm\\eapol"));
    EXPECT_TRUE(ce::reg::keyExists(Root::CurrentUser, "Comm\\EAPOL"));
    EXPECT_TRUE(ce::reg::valueNames(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_TRUE(ce::reg::subKeys(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_EQ(ce::reg::getDword(Root::CurrentUser, "Comm\\Other", "Keep"), 1u);
    EXPECT_TRUE(ce::reg::deleteKey(Root::CurrentUser, "Comm"));
    EXPECT_FALSE(ce::reg::keyExists(Root::CurrentUser, "Comm\\Other"));
    EXPECT_FALSE(ce::reg::clearKey(Root::CurrentUser, "Comm"));
}

TEST(Registry, SplitsFullPaths)
{
    auto a = ce::reg::splitPath("HKEY_CURRENT_USER\\Comm\\EAPOL");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->first, Root::CurrentUser);
    EXPECT_EQ(a->second, "Comm\\EAPOL");
    auto b = ce::reg::splitPath("hklm/Software/Kivo/common");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->first, Root::LocalMachine);
    EXPECT_EQ(b->second, "Software\\Kivo\\common");
    EXPECT_FALSE(ce::reg::splitPath("HKEY_CLASSES_ROOT\\x"));
}

TEST(Registry, DamagedFileLosesOnlyTheDamagedLines)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::setString(Root::CurrentUser, "A", "good", "1");
    {
        std::ofstream f(root.path() + "/registry.txt", std::ios::app);
        f << "garbage line\nV\t7\tB\tx\ts\ty\nV\t0\tA\n\n";
        f << "V\t0\tA\tbad\td\t12x\nV\t0\tA\thuge\td\t4294967296\nV\t0\tA\tmax\td\t4294967295\n";
    }
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "good"), "1");
    EXPECT_FALSE(ce::reg::getDword(Root::CurrentUser, "A", "bad")); // not read as 12 or 0
    EXPECT_FALSE(ce::reg::getDword(Root::CurrentUser, "A", "huge"));
    EXPECT_EQ(ce::reg::getDword(Root::CurrentUser, "A", "max"), 0xFFFFFFFFu);
    EXPECT_TRUE(ce::reg::setString(Root::CurrentUser, "A", "more", "2"));
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "good"), "1");
}

// A file edited by hand: values out of order, a key's values split by
// another key's lines, a name listed twice (the later line wins, spelling and
// all), escapes, and a line like its neighbours but one field short.
TEST(Registry, AFileEditedByHandReadsAsListed)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::createKey(Root::CurrentUser, "A");
    {
        std::ofstream f(root.path() + "/registry.txt", std::ios::app);
        f << "V\t0\tA\tzed\ts\t1\nV\t0\tA\tbeta\td\t7\nV\t0\tB\tx\ts\ty\n";
        f << "V\t0\tA\tZED\ts\t2\nV\t0\tA\tbeta\nV\t0\tA\ttab\\there\ts\ta\\\\b\\nc\n";
        f << "K\t0\tC\nV\t0\tA\talpha\ts\t0\nV\t0\tA\tBeta\ts\tnow a string\n";
    }
    const std::vector<std::string> names { "alpha", "Beta", "tab\there", "ZED" };
    EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "A"), names);
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "zed"), "2");
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "beta"), "now a string");
    EXPECT_FALSE(ce::reg::getDword(Root::CurrentUser, "A", "beta"));
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "TAB\tHERE"), "a\\b\nc");
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "B", "x"), "y");
    EXPECT_TRUE(ce::reg::valueNames(Root::CurrentUser, "C").empty());
    // Written back in order, and read back the same.
    EXPECT_TRUE(ce::reg::setDword(Root::CurrentUser, "a", "middle", 5));
    const std::vector<std::string> more { "alpha", "Beta", "middle", "tab\there", "ZED" };
    EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "A"), more);
    {
        // Another process's later change makes the file read again.
        std::ofstream f(root.path() + "/registry.txt", std::ios::app);
        f << "V\t0\tA\tomega\td\t9\n";
    }
    const std::vector<std::string> last { "alpha", "Beta", "middle", "omega", "tab\there", "ZED" };
    EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "A"), last);
    EXPECT_EQ(ce::reg::getDword(Root::CurrentUser, "A", "middle"), 5u);
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "zed"), "2");
}

TEST(Registry, TwoProcessesWritingAtOnceLoseNothing)
{
    kivo::test::TempDeviceRoot root;
    const int n = 60;
    auto a = kivo::test::startPeer({ "reg-many", "Shared", "a", std::to_string(n) });
    auto b = kivo::test::startPeer({ "reg-many", "Shared", "b", std::to_string(n) });
    for (int i = 0; i < n; ++i)
        ce::reg::setDword(Root::CurrentUser, "Shared", "t" + std::to_string(i), 1);
    ASSERT_EQ(a.wait(), 0);
    ASSERT_EQ(b.wait(), 0);
    EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "Shared").size(), size_t(3 * n));
    EXPECT_EQ(ce::reg::getDword(Root::CurrentUser, "shared", "b59"), 59u);
}

TEST(Registry, KeysAboveACreatedKeyExistToo)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::setString(Root::LocalMachine, "Drivers\\BuiltIn\\ANT", "Dll", "ant.dll");
    EXPECT_TRUE(ce::reg::keyExists(Root::LocalMachine, "Drivers"));
    EXPECT_EQ(ce::reg::subKeys(Root::LocalMachine, "Drivers"), std::vector<std::string> { "BuiltIn" });
    EXPECT_TRUE(ce::reg::deleteKey(Root::LocalMachine, "drivers\\builtin\\ant"));
    EXPECT_TRUE(ce::reg::keyExists(Root::LocalMachine, "Drivers\\BuiltIn")); // only the key itself goes

    // A file that lists only the deepest key reads the same way.
    {
        std::ofstream f(root.path() + "/registry.txt", std::ios::app);
        f << "V\t0\tComm\\\\EAPOL\\\\Wlan1\tIdentity\ts\tme\n";
    }
    EXPECT_TRUE(ce::reg::keyExists(Root::CurrentUser, "Comm\\EAPOL"));
    EXPECT_EQ(ce::reg::subKeys(Root::CurrentUser, "Comm"), std::vector<std::string> { "EAPOL" });
}

TEST(Registry, AChangeThatCannotBeMadeSafelyIsRefusedAndLosesNothing)
{
    kivo::test::TempDeviceRoot root;
    namespace fs = std::filesystem;
    const std::string file = root.path() + "/registry.txt";
    const std::string lock = root.path() + "/registry.lock";
    ASSERT_TRUE(ce::reg::setString(Root::CurrentUser, "A", "kept", "1"));
    struct Case {
        const char* what;
        std::function<void()> spoil, mend;
        ce::DWORD error;
    } cases[] = {
        { "no lock to take",
            [&] {
                fs::remove(lock);
                fs::create_directory(lock);
            },
            [&] { fs::remove(lock); }, ce::ERROR_ACCESS_DENIED },
        { "a registry file that cannot be read",
            [&] {
                fs::rename(file, file + ".aside");
                fs::create_directory_symlink(root.path(), file);
            },
            [&] {
                fs::remove(file);
                fs::rename(file + ".aside", file);
            },
            ce::ERROR_READ_FAULT },
        { "a new file that cannot be written", [&] { fs::create_directory(file + ".tmp"); },
            [&] { fs::remove(file + ".tmp"); }, ce::ERROR_WRITE_FAULT },
    };
    for (auto& c : cases) {
        c.spoil();
        EXPECT_FALSE(ce::reg::setString(Root::CurrentUser, "A", "new", "2")) << c.what;
        EXPECT_EQ(ce::getLastError(), c.error) << c.what;
        EXPECT_FALSE(ce::reg::deleteKey(Root::CurrentUser, "A")) << c.what;
        c.mend();
        EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "kept"), "1") << c.what;
        EXPECT_FALSE(ce::reg::getString(Root::CurrentUser, "A", "new")) << c.what;
    }
}

// A change to a device root mounted read-only says so, instead of blaming a
// lock that nobody holds.
TEST(Registry, AChangeOnAReadOnlyDeviceRootIsRefusedAsWriteProtected)
{
    kivo::test::TempDeviceRoot root;
    ASSERT_TRUE(ce::reg::setString(Root::CurrentUser, "A", "kept", "1"));
    int code = kivo::test::runConfined(root.path(), kivo::test::Confinement::ReadOnly, [] {
        if (ce::reg::setString(Root::CurrentUser, "A", "kept", "2"))
            return 1;
        if (ce::getLastError() != ce::ERROR_WRITE_PROTECT)
            return 2;
        return ce::reg::getString(Root::CurrentUser, "A", "kept") == "1" ? 0 : 3;
    });
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no namespaces to mount a read-only root in";
    EXPECT_EQ(0, code);
}

TEST(Registry, AWriterWaitsForAHeldLockOnlySoLongThenRefusesTheChange)
{
    kivo::test::TempDeviceRoot root;
    ASSERT_TRUE(ce::reg::setString(Root::CurrentUser, "Held", "a", "1"));
    // Held as a stopped process would hold it: another open of the lock file.
    int fd = ::open((root.path() + "/registry.lock").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    ce::reg::setLockWaitForTests(100);
    EXPECT_FALSE(ce::reg::setString(Root::CurrentUser, "Held", "a", "2"));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "Held", "a"), "1"); // reads take no lock
    ::flock(fd, LOCK_UN);
    ::close(fd);
    EXPECT_TRUE(ce::reg::setString(Root::CurrentUser, "Held", "a", "2"));
    ce::reg::setLockWaitForTests(0);
}

TEST(Registry, ReadsWhileAnotherProcessWritesAlwaysSeeAWholeFile)
{
    kivo::test::TempDeviceRoot root;
    ASSERT_TRUE(ce::reg::setString(Root::CurrentUser, "Stable", "v", "x"));
    kivo::test::Peer writer = kivo::test::startPeer({ "reg-many", "Busy", "n", "400" });
    int reads = 0, misses = 0;
    for (;;) {
        bool running = ::waitpid(writer.pid, nullptr, WNOHANG) == 0;
        ++reads;
        if (ce::reg::getString(Root::CurrentUser, "Stable", "v") != std::optional<std::string>("x"))
            ++misses;
        if (!running)
            break;
    }
    writer.pid = -1;
    EXPECT_EQ(misses, 0) << "of " << reads << " reads";
    EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "Busy").size(), 400u);
}

TEST(Registry, AWriteByAnotherProcessIsSeenAtOnceHoweverCloseInTime)
{
    kivo::test::TempDeviceRoot root;
    const std::string file = root.path() + "/registry.txt";
    ASSERT_TRUE(ce::reg::setString(Root::CurrentUser, "A", "v", "0"));
    ASSERT_EQ(ce::reg::getString(Root::CurrentUser, "A", "v"), "0");
    // Each write leaves the file with the size and time of the one before,
    // as writes within one tick of the file system's clock do.
    const struct timespec sameTime[2] = { { 1700000000, 0 }, { 1700000000, 0 } };
    for (const char* value : { "1", "2", "3" }) {
        ASSERT_EQ(kivo::test::runPeer({ "reg-set", "A", "v", value }), 0);
        ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), sameTime, 0), 0);
        EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "A", "v"), value);
        EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "A").size(), 1u);
    }
    // A change made here starts from the other process's value, not a stale one.
    ASSERT_EQ(kivo::test::runPeer({ "reg-set", "A", "w", "x" }), 0);
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), sameTime, 0), 0);
    ASSERT_TRUE(ce::reg::setString(Root::CurrentUser, "A", "own", "y"));
    EXPECT_EQ(ce::reg::valueNames(Root::CurrentUser, "A"), (std::vector<std::string> { "own", "v", "w" }));
}
