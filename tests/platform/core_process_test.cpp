#include "platform/paths.h"
#include "platform/process.h"
#include "platform/types.h"

#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

TEST(Process, StartsAProgramPlacedUnderTheRoot)
{
    kivo::test::TempDeviceRoot root;
    // A device program that records its arguments and its device root.
    std::string dir = ce::ensureDirectory("\\SystemDrive\\Falmo\\program\\wifi\\browser");
    std::string script = dir + "/zk_launcher";
    {
        std::ofstream f(script);
        f << "#!/bin/sh\necho \"$KIVO_DEVICE_ROOT $1\" > \"$KIVO_DEVICE_ROOT/started.txt\"\n";
    }
    fs::permissions(script, fs::perms::owner_all);
    EXPECT_TRUE(ce::launchProcess("SystemDrive\\Falmo\\program\\wifi\\browser\\zk_launcher.exe", { "arg" }));
    std::string got;
    for (int i = 0; i < 200 && got.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        got = root.readFile("\\started.txt");
    }
    EXPECT_EQ(got, root.path() + " arg\n");
    EXPECT_FALSE(ce::launchProcess("\\SystemDrive\\nothing.exe"));
    EXPECT_EQ(ce::getLastError(), ce::ERROR_FILE_NOT_FOUND);
}
