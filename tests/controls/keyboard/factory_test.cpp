#include "controls/keyboard/zyrLayoutFactory.h"
#include "tests/controls/keyboard/fixture_counts.h"
#include "tests/support/temp_root.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

const char16_t* kA = u"KbdFixtureA.dll";
const char16_t* kB = u"KbdFixtureB.dll";

// Whether the fixture's file is mapped in the process now.
bool mapped(const char* base)
{
    const QByteArray file = (QCoreApplication::applicationDirPath() + "/" + base + ".so").toLocal8Bit();
    void* handle = dlopen(file.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class LayoutFactory : public ::testing::Test {
protected:
    void SetUp() override { resetFixtureCounts(); }
    kivo::test::TempDeviceRoot root;
};

TEST_F(LayoutFactory, SamePathTwiceLoadsOnceAndTheLastUnloadUnmaps)
{
    ASSERT_FALSE(mapped("KbdFixtureA"));
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(kA));
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(kA));
    FixtureCounts& a = fixtureCounts("KbdFixtureA");
    EXPECT_EQ(a.registerCalls, 1);
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureAContainer"), a.ownLayout);
    EXPECT_EQ(zyrLayoutFactory::createLayout("kbdfixtureacontainer"), nullptr); // names are exact

    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(kA));
    EXPECT_EQ(a.unregisterCalls, 0);
    EXPECT_TRUE(mapped("KbdFixtureA"));
    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(kA));
    EXPECT_EQ(a.unregisterCalls, 1);
    EXPECT_FALSE(mapped("KbdFixtureA"));
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureAContainer"), nullptr);
    EXPECT_FALSE(zyrLayoutFactory::unloadLayoutDll(kA));

    // A later load starts afresh.
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(kA));
    EXPECT_EQ(a.registerCalls, 2);
    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(kA));
}

TEST_F(LayoutFactory, BareAndFullPathAreTwoRecordsOfOneModule)
{
    const char16_t* full = u"\\SystemDrive\\Plugins\\KbdFixtureA.dll";
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(kA));
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(full));
    FixtureCounts& a = fixtureCounts("KbdFixtureA");
    EXPECT_EQ(a.registerCalls, 2);
    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(kA));
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureAContainer"), a.ownLayout); // one registration left
    EXPECT_TRUE(mapped("KbdFixtureA"));
    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(full));
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureAContainer"), nullptr);
    EXPECT_FALSE(mapped("KbdFixtureA"));
}

TEST_F(LayoutFactory, APlugInWithoutRegisterLayoutIsUnregisteredOnceAndFreed)
{
    EXPECT_FALSE(zyrLayoutFactory::loadLayoutDll(u"KbdFixtureUnregOnly.dll"));
    FixtureCounts& c = fixtureCounts("KbdFixtureUnregOnly");
    EXPECT_EQ(c.registerCalls, 0);
    EXPECT_EQ(c.unregisterCalls, 1);
    EXPECT_FALSE(mapped("KbdFixtureUnregOnly"));
    EXPECT_FALSE(zyrLayoutFactory::unloadLayoutDll(u"KbdFixtureUnregOnly.dll"));
}

TEST_F(LayoutFactory, TheNewestRegistrationOfANameWins)
{
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(kA));
    ASSERT_TRUE(zyrLayoutFactory::loadLayoutDll(kB));
    const void* fromA = fixtureCounts("KbdFixtureA").sharedLayout;
    const void* fromB = fixtureCounts("KbdFixtureB").sharedLayout;
    ASSERT_NE(fromA, fromB);
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureSharedContainer"), fromB);
    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(kB));
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureSharedContainer"), fromA);
    EXPECT_TRUE(zyrLayoutFactory::unloadLayoutDll(kA));
    EXPECT_EQ(zyrLayoutFactory::createLayout("KbdFixtureSharedContainer"), nullptr);
}

TEST_F(LayoutFactory, UnknownEmptyAndNullPathsFail)
{
    EXPECT_FALSE(zyrLayoutFactory::loadLayoutDll(u"NoSuchLayout.dll"));
    EXPECT_FALSE(zyrLayoutFactory::loadLayoutDll(u""));
    EXPECT_FALSE(zyrLayoutFactory::loadLayoutDll(nullptr));
    EXPECT_FALSE(zyrLayoutFactory::unloadLayoutDll(u""));
    EXPECT_FALSE(zyrLayoutFactory::unloadLayoutDll(nullptr));
    EXPECT_FALSE(zyrLayoutFactory::unloadLayoutDll(u"NoSuchLayout.dll"));
    EXPECT_EQ(zyrLayoutFactory::createLayout(nullptr), nullptr);
}

TEST_F(LayoutFactory, UnregisteringRemovesTheOldestOccurrenceOnly)
{
    struct Stub : zyrBCLayout {
        void setupUi(int, QWidget*) override { }
        void retranslateUi(int, QWidget*) override { }
    } one, two;
    zyrLayoutFactory* f = zyrLayoutFactory::instance();
    f->registerLayout("Stub", &one);
    f->registerLayout("Stub", &two);
    f->registerLayout("Stub", &one);
    f->unregisterLayout("Stub", &one);
    EXPECT_EQ(f->findLayout("Stub"), &one);
    f->unregisterLayout("Stub", &one);
    EXPECT_EQ(f->findLayout("Stub"), &two);
    f->unregisterLayout("Other", &two);
    f->unregisterLayout("Stub", &two);
    EXPECT_EQ(f->findLayout("Stub"), nullptr);
}

} // namespace
