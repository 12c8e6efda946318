// Files replaced whole: writers of one file at the same time, a write cut
// short, and what killed writers leave behind.
#include "platform/paths.h"

#include "tests/support/file_size_limit.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> folder(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

} // namespace

TEST(ReplaceFileWhole, WritersOfOneFileAtOnceEachPutAWholeFileInPlace)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string file = dir + "/settings.dat";
    const std::string texts[2] = { std::string(3000, 'a'), std::string(7000, 'b') };
    ASSERT_EQ(ce::replaceFileWhole(file, texts[0].data(), texts[0].size()), 0);

    std::atomic<bool> writing { true };
    std::atomic<int> failed { 0 }, torn { 0 };
    std::thread reader([&] {
        while (writing) {
            const std::string now = readFile(file);
            torn += now != texts[0] && now != texts[1];
        }
    });
    std::thread writers[2];
    for (int w = 0; w < 2; ++w)
        writers[w] = std::thread([&, w] {
            for (int i = 0; i < 1000; ++i)
                failed += ce::replaceFileWhole(file, texts[w].data(), texts[w].size()) != 0;
        });
    for (std::thread& t : writers)
        t.join();
    writing = false;
    reader.join();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(folder(dir).count("settings.dat"), 1u);
    EXPECT_EQ(folder(dir).size(), 1u) << "no temporary file stays";
}

TEST(ReplaceFileWhole, AWriteCutShortKeepsTheOldFileAndLeavesNothing)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const std::string file = dir + "/settings.dat";
    const std::string before(100, 'o');
    ASSERT_EQ(ce::replaceFileWhole(file, before.data(), before.size()), 0);
    const std::string after(5000, 'n');
    int error = 0;
    {
        kivo::test::FileSizeLimit limit(1000);
        error = ce::replaceFileWhole(file, after.data(), after.size());
    }
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(folder(dir), std::set<std::string> { "settings.dat" });
}

TEST(ReplaceFileWhole, OnlyTheLeftoversOfEndedWritersAreRemoved)
{
    kivo::test::TempDeviceRoot root;
    const std::string dir = root.path() + "/files";
    fs::create_directory(dir);
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0)
        ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string own = std::to_string(::getpid());
    const std::string gone = std::to_string(ended);
    const std::set<std::string> kept {
        "a.dat",
        "a.dat." + own + "-1.tmp", // this process: a writer may be at it
        "a.dat.1-3.tmp", // a live process's
        "a.dat.bak", "a.dat." + gone + "-2.tmpx", "a.dat." + gone + ".tmp", "a.dat.x" + gone + "-2.tmp",
        "b.dat." + gone + "-2.tmp", // another file's
    };
    const std::set<std::string> stale { "a.dat.tmp", "a.dat." + gone + "-2.tmp", "a.dat." + gone + "-77.tmp" };
    for (const auto* names : { &kept, &stale })
        for (const std::string& n : *names)
            std::ofstream(dir + "/" + n) << "x";
    fs::create_directory(dir + "/a.dat." + gone + "-9.tmp"); // not a file: left alone
    EXPECT_EQ(ce::removeStaleTemporaries(dir + "/a.dat"), 3);
    std::set<std::string> expected = kept;
    expected.insert("a.dat." + gone + "-9.tmp");
    EXPECT_EQ(folder(dir), expected);
}
