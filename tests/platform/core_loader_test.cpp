#include "platform/loader.h"

#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

TEST(Loader, LoadsByDeviceNameAndResolvesExports)
{
    kivo::test::TempDeviceRoot root;
    ce::HMODULE m = ce::loadLibrary("platformtestlib.DLL"); // found next to the program, any case
    ASSERT_TRUE(m);
    auto answer = reinterpret_cast<int (*)()>(ce::getProcAddress(m, "TestLibAnswer"));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer(), 42);

    EXPECT_EQ(ce::getProcAddress(m, "NoSuchExport"), nullptr);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_PROC_NOT_FOUND);

    auto seven = reinterpret_cast<int (*)()>(ce::getProcAddressOrdinal(m, 7));
    auto nine = reinterpret_cast<int (*)(int)>(ce::getProcAddressOrdinal(m, 9));
    ASSERT_TRUE(seven && nine);
    EXPECT_EQ(seven(), 7);
    EXPECT_EQ(nine(2), 18);
    EXPECT_EQ(ce::getProcAddressOrdinal(m, 8), nullptr);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(ce::freeLibrary(m));
    EXPECT_FALSE(ce::freeLibrary(m));
    EXPECT_EQ(ce::getProcAddress(m, "TestLibAnswer"), nullptr);
}

TEST(Loader, MissingLibraryFailsCleanly)
{
    kivo::test::TempDeviceRoot root;
    EXPECT_EQ(ce::loadLibrary("NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(ce::loadLibrary(""), nullptr);
    EXPECT_EQ(ce::getProcAddress(nullptr, "x"), nullptr);
    EXPECT_EQ(ce::getProcAddressOrdinal(nullptr, 1), nullptr);
}

TEST(Loader, ALibraryWithoutOrdinalTableHasNoOrdinals)
{
    kivo::test::TempDeviceRoot root;
    // The platform library itself is a shared object next to the tests.
    ce::HMODULE m = ce::loadLibrary("kivo_platform.dll");
    ASSERT_TRUE(m);
    EXPECT_EQ(ce::getProcAddressOrdinal(m, 1), nullptr);
    ce::freeLibrary(m);
}

TEST(Loader, AFreedModuleIsAnInvalidHandle)
{
    kivo::test::TempDeviceRoot root;
    ce::HMODULE m = ce::loadLibrary("PlatformTestLib.dll");
    ASSERT_TRUE(m);
    ASSERT_TRUE(ce::freeLibrary(m));
    EXPECT_EQ(ce::getProcAddress(m, "TestLibAnswer"), nullptr);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_HANDLE);
    EXPECT_EQ(ce::getProcAddressOrdinal(m, 7), nullptr);
    EXPECT_EQ(ce::getLastError(), ce::ERROR_INVALID_HANDLE);
}
