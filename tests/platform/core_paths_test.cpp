#include "platform/paths.h"

#include "tests/support/confined.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KIVO_TEST_HAS_ASAN 1
#endif
#endif
#ifndef KIVO_TEST_HAS_ASAN
#define KIVO_TEST_HAS_ASAN 0
#endif

TEST(Paths, ResolvesInsideTheRootWhateverTheSpelling)
{
    kivo::test::TempDeviceRoot root;
    fs::create_directories(root.path() + "/SystemDrive/Falmo/program/wifi");
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
    const std::string wifi = root.path() + "/SystemDrive/Falmo/program/wifi";
    struct Case {
        const char* device;
        std::string expected;
    } cases[] = {
        { "\\SystemDrive\\Falmo\\program\\wifi\\a.ini", wifi + "/a.ini" },
        { "/SystemDrive/Falmo/Program/WiFi/a.ini", wifi + "/a.ini" }, // other case, other separator
        { "SystemDrive\\Falmo\\program\\wifi\\browser\\x.exe", wifi + "/browser/x.exe" }, // no leading separator
        { "a.ini", wifi + "/a.ini" }, // bare name: program folder
        { "Log\\WifiLog.txt", wifi + "/Log/WifiLog.txt" }, // relative name
        { "\\SystemDrive\\..\\..\\..\\etc\\passwd", root.path() + "/etc/passwd" }, // never above the root
        { "..\\..\\..\\..\\..\\x", root.path() + "/x" },
        { "\\\\SystemDrive//Falmo\\.\\program", root.path() + "/SystemDrive/Falmo/program" },
        { "/DataDrive/Falmo/Tracks", root.path() + "/DataDrive/Falmo/Tracks" },
        { "datadrive\\x", root.path() + "/datadrive/x" },
        { "OneDrive\\x", wifi + "/OneDrive/x" }, // a folder that ends in "drive" is no drive
    };
    for (auto& c : cases)
        EXPECT_EQ(ce::resolvePath(c.device), c.expected) << c.device;
    EXPECT_EQ(ce::resolvePath(""), "");
}

TEST(Paths, NewComponentsKeepTheirSpellingAndParentsAreCreated)
{
    kivo::test::TempDeviceRoot root;
    fs::create_directories(root.path() + "/SystemDrive/Falmo/program/wifi");
    std::string p = ce::resolvePath("/systemdrive/FALMO/Program/WiFi/Log/new.txt", true);
    EXPECT_EQ(p, root.path() + "/SystemDrive/Falmo/program/wifi/Log/new.txt");
    EXPECT_TRUE(fs::is_directory(root.path() + "/SystemDrive/Falmo/program/wifi/Log"));
    // The folder created in one spelling is found in the other.
    EXPECT_EQ(ce::resolvePath("\\SystemDrive\\falmo\\program\\wifi\\LOG"),
        root.path() + "/SystemDrive/Falmo/program/wifi/Log");
    EXPECT_EQ(ce::ensureDirectory("/DataDrive/Falmo/Tracks"), root.path() + "/DataDrive/Falmo/Tracks");
    EXPECT_TRUE(fs::is_directory(root.path() + "/DataDrive/Falmo/Tracks"));
}

TEST(Paths, FreeSpaceHonoursTheOverride)
{
    kivo::test::TempDeviceRoot root;
    auto real = ce::freeSpace("/DataDrive/Falmo/Tracks");
    ASSERT_TRUE(real.has_value());
    EXPECT_GT(*real, 0u);
    ce::setFreeSpaceOverride("DataDrive", 1234);
    EXPECT_EQ(ce::freeSpace("\\datadrive\\x"), 1234u);
    ce::setFreeSpaceOverride("DataDrive", std::nullopt);
    EXPECT_NE(ce::freeSpace("/DataDrive"), std::optional<uint64_t>(1234));
}

TEST(Paths, AnEmbeddedNulEndsThePath)
{
    kivo::test::TempDeviceRoot root;
    // What a C call would see of the result must stay inside the root too.
    for (std::string device : { std::string("\\..\0x", 5), std::string("\\SystemDrive\\..\0\\y", 18) }) {
        std::string p = ce::resolvePath(device);
        EXPECT_EQ(std::string(p.c_str()), root.path()) << p;
    }
    EXPECT_EQ(ce::resolvePath(std::string("\0a", 2)), "");
}

TEST(Paths, FreeSpaceOverrideFollowsTheDriveThePathResolvesTo)
{
    kivo::test::TempDeviceRoot root;
    ce::setProgramDirectory("\\DataDrive\\Falmo");
    ce::setFreeSpaceOverride("DataDrive", 1234);
    for (const char* device : { "Tracks\\a.gpx", "\\SystemDrive\\..\\DataDrive\\x", "/datadrive" })
        EXPECT_EQ(ce::freeSpace(device), std::optional<uint64_t>(1234)) << device;
    EXPECT_NE(ce::freeSpace("\\DataDrive\\..\\SystemDrive"), std::optional<uint64_t>(1234));
    ce::setFreeSpaceOverride("DataDrive", std::nullopt);
    ce::setProgramDirectory("\\SystemDrive");
}

// Names that do not exist in the spelling given are looked up in an index of
// the folder: what other programs make, remove or rename there, and a folder
// put in another's place, show at the next lookup, in this process and in a
// process forked off it.
TEST(Paths, TheFolderIndexFollowsEveryChangeMadeBehindIt)
{
    kivo::test::TempDeviceRoot root;
    const std::string tracks = root.path() + "/DataDrive/Falmo/Tracks";
    fs::create_directories(tracks);
    auto make = [](const std::string& path) { std::ofstream(path) << "x"; };
    auto resolve = [](const std::string& name) { return ce::resolvePath("\\DataDrive\\Falmo\\Tracks\\" + name); };
    make(tracks + "/Old.GPX");
    EXPECT_EQ(tracks + "/new.gpx", resolve("new.gpx")); // the index is made here
    make(tracks + "/NEW.GPX");
    EXPECT_EQ(tracks + "/NEW.GPX", resolve("new.gpx"));
    fs::remove(tracks + "/NEW.GPX");
    EXPECT_EQ(tracks + "/new.gpx", resolve("new.gpx"));
    fs::rename(tracks + "/Old.GPX", tracks + "/Moved.GPX");
    EXPECT_EQ(tracks + "/old.gpx", resolve("old.gpx"));
    EXPECT_EQ(tracks + "/Moved.GPX", resolve("moved.gpx"));
    fs::rename(tracks, tracks + ".aside");
    fs::create_directories(tracks);
    make(tracks + "/Other.GPX");
    EXPECT_EQ(tracks + "/Other.GPX", resolve("other.gpx"));
    EXPECT_EQ(tracks + "/moved.gpx", resolve("moved.gpx"));

    std::fflush(nullptr);
    pid_t child = ::fork();
    if (child == 0) {
        make(tracks + "/Forked.GPX");
        ::_exit(resolve("forked.gpx") == tracks + "/Forked.GPX" ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    make(tracks + "/Parent.GPX");
    EXPECT_EQ(tracks + "/Parent.GPX", resolve("parent.gpx"));
    EXPECT_EQ(tracks + "/Forked.GPX", resolve("forked.gpx"));
}

// The folders on the way down to a name are checked through the index too:
// a folder further up moved away and another put in its place, or the
// folder a link leads to replaced by moving the folder above it, show at
// the next lookup.
TEST(Paths, TheFolderIndexSeesFoldersReplacedAboveAndBehindALink)
{
    kivo::test::TempDeviceRoot root;
    const std::string falmo = root.path() + "/DataDrive/Falmo";
    auto make = [](const std::string& path) { std::ofstream(path) << "x"; };
    auto resolve = [](const std::string& name) { return ce::resolvePath("\\DataDrive\\Falmo\\Tracks\\" + name); };
    fs::create_directories(falmo + "/Tracks");
    EXPECT_EQ(falmo + "/Tracks/a.gpx", resolve("a.gpx"));
    fs::rename(falmo, falmo + ".aside");
    fs::create_directories(falmo + "/Tracks");
    make(falmo + "/Tracks/A.GPX");
    EXPECT_EQ(falmo + "/Tracks/A.GPX", resolve("a.gpx"));

    // Tracks leads to Store/Shelf.
    const std::string store = root.path() + "/Store";
    fs::create_directories(store + "/Shelf");
    fs::remove_all(falmo + "/Tracks");
    fs::create_directory_symlink(store + "/Shelf", falmo + "/Tracks");
    EXPECT_EQ(falmo + "/Tracks/b.gpx", resolve("b.gpx"));
    fs::rename(store, store + ".aside");
    fs::create_directories(store + "/Shelf");
    make(store + "/Shelf/B.GPX");
    EXPECT_EQ(falmo + "/Tracks/B.GPX", resolve("b.gpx"));
}

// A file system mounted over an indexed folder (the device's card, a bind
// mount) tells that folder's watch nothing: what the mount holds shows at
// the next lookup, whether it covers the folder of the name or one above,
// and what it covered shows again once it is unmounted.
TEST(Paths, TheFolderIndexSeesWhatIsMountedOverAnIndexedFolder)
{
    kivo::test::TempDeviceRoot root;
    auto make = [](const std::string& path) { std::ofstream(path) << "x"; };
    const std::string falmo = root.path() + "/DataDrive/Falmo";
    const std::string tracks = falmo + "/Tracks";
    fs::create_directories(tracks);
    make(tracks + "/Old.GPX");
    const std::string card = root.path() + "/Card"; // holds Tracks/Ride.GPX
    fs::create_directories(card + "/Tracks");
    make(card + "/Tracks/Ride.GPX");

    const int code = kivo::test::runConfined(root.path(), kivo::test::Confinement::OwnMounts, [&] {
        int failed = 0;
        auto expect = [&](const char* when, const std::string& name, const std::string& expected) {
            const std::string got = ce::resolvePath("\\DataDrive\\Falmo\\Tracks\\" + name);
            if (got != expected) {
                std::fprintf(stderr, "%s: %s resolved to %s, not %s\n", when, name.c_str(), got.c_str(), expected.c_str());
                ++failed;
            }
        };
        const struct {
            std::string source, target;
        } mounts[] = { { card + "/Tracks", tracks }, { card, falmo } };
        for (const auto& m : mounts) {
            expect("before", "ride.gpx", tracks + "/ride.gpx"); // every folder on the way indexed
            expect("before", "old.gpx", tracks + "/Old.GPX");
            if (::mount(m.source.c_str(), m.target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
                std::perror("bind mount");
                return 90;
            }
            const std::string on = "mounted on " + m.target;
            expect(on.c_str(), "ride.gpx", tracks + "/Ride.GPX");
            expect(on.c_str(), "old.gpx", tracks + "/old.gpx");
            make(tracks + "/New.GPX"); // on the card
            expect(on.c_str(), "new.gpx", tracks + "/New.GPX");
            if (::umount(m.target.c_str()) != 0) {
                std::perror("unmount");
                return 91;
            }
            const std::string off = "unmounted from " + m.target;
            expect(off.c_str(), "old.gpx", tracks + "/Old.GPX");
            expect(off.c_str(), "new.gpx", tracks + "/new.gpx");
            fs::remove(card + "/Tracks/New.GPX");
        }
        return failed;
    });
    if (code == kivo::test::kCannotConfine)
        GTEST_SKIP() << "no mount namespace of the test's own can be made here";
    EXPECT_EQ(0, code) << "the number of names resolved wrongly (see above)";
}

// A process forked while other threads resolve names starts with the index
// and its locks usable: it never waits for a lock a thread of its parent
// held at the fork.
TEST(Paths, AProcessForkedDuringLookupsResolvesNames)
{
    kivo::test::TempDeviceRoot root;
    const std::string tracks = root.path() + "/DataDrive/Falmo/Tracks";
    fs::create_directories(tracks);
    std::ofstream(tracks + "/Known.GPX") << "x";
    auto resolveKnown = [&] { return ce::resolvePath("\\DataDrive\\Falmo\\Tracks\\known.gpx") == tracks + "/Known.GPX"; };

    std::atomic<bool> stop { false };
    std::atomic<int> lookups { 0 }, wrong { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&] {
            while (!stop) {
                wrong += resolveKnown() ? 0 : 1;
                ++lookups;
            }
        });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (lookups < 300 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();

    std::vector<pid_t> children;
    for (int i = 0; i < 200; ++i) {
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            ::alarm(60); // the bound on a child that would wait for ever
            ::_exit(resolveKnown() ? 0 : 1);
        }
        if (child < 0)
            break;
        children.push_back(child);
    }
    stop = true;
    for (auto& t : threads)
        t.join();
    int hung = 0, failed = 0;
    for (pid_t child : children) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
        if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
            ++hung;
        else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            ++failed;
    }
    EXPECT_EQ(200u, children.size());
#if defined(__SANITIZE_ADDRESS__) || KIVO_TEST_HAS_ASAN
    // AddressSanitizer's allocator takes no care of forks: now and then a
    // child waits for ever on one of its locks that a looking-up thread held
    // at the fork (any program that forks while other threads allocate). A
    // lock of the index left held would stop nearly every child.
    EXPECT_LE(hung * 10, int(children.size())) << "children that waited for ever";
#else
    EXPECT_EQ(0, hung) << "children that waited for ever";
#endif
    EXPECT_EQ(0, failed);
    EXPECT_EQ(0, wrong);
}

// Events lost to a full queue of the index's watches make it start again
// from a read of the folder: a name made after the loss is found.
TEST(Paths, TheFolderIndexStartsAgainAfterLostEvents)
{
    long limit = 0;
    if (FILE* f = std::fopen("/proc/sys/fs/inotify/max_queued_events", "r")) {
        if (std::fscanf(f, "%ld", &limit) != 1)
            limit = 0;
        std::fclose(f);
    }
    if (limit <= 0 || limit > (1 << 20))
        GTEST_SKIP() << "the queue of events holds " << limit << ": too many to fill here";
    kivo::test::TempDeviceRoot root;
    const std::string tracks = root.path() + "/DataDrive/Falmo/Tracks";
    fs::create_directories(tracks);
    auto resolve = [](const std::string& name) { return ce::resolvePath("\\DataDrive\\Falmo\\Tracks\\" + name); };
    EXPECT_EQ(tracks + "/last.gpx", resolve("last.gpx")); // the index is made here
    // Four events a round trip, and no lookup reads them meanwhile.
    std::ofstream(tracks + "/A") << "x";
    for (long i = 0; i <= limit / 4; ++i) {
        ASSERT_EQ(0, std::rename((tracks + "/A").c_str(), (tracks + "/B").c_str()));
        ASSERT_EQ(0, std::rename((tracks + "/B").c_str(), (tracks + "/A").c_str()));
    }
    std::ofstream(tracks + "/Last.GPX") << "x"; // its event is lost
    EXPECT_EQ(tracks + "/Last.GPX", resolve("last.gpx"));
    EXPECT_EQ(tracks + "/A", resolve("a"));
}
