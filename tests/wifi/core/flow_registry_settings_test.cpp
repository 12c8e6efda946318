#include "wifi/core/RegistrySettings.h"

#include "platform/registry.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

namespace {

using ce::reg::Root;

TEST(RegistrySettings, ValuesGroupsAndTypes)
{
    kivo::test::TempDeviceRoot root;
    RegistrySettings s(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Kivo\\common"));
    ASSERT_TRUE(s.isValid());
    EXPECT_EQ(s.value(QStringLiteral("Language"), QStringLiteral("none")).toString(), QStringLiteral("none"));

    s.setValue(QStringLiteral("Language"), QStringLiteral("nor"));
    s.setValue(QStringLiteral("Day Night settings"), 1);
    EXPECT_EQ(ce::reg::getString(Root::LocalMachine, "Software\\Kivo\\common", "Language"), "nor");
    EXPECT_EQ(ce::reg::getDword(Root::LocalMachine, "Software\\Kivo\\common", "Day Night settings"), 1u);
    EXPECT_EQ(s.value(QStringLiteral("Day Night settings")).toInt(), 1);
    EXPECT_EQ(s.value(QStringLiteral("day night settings")).userType(), int(QMetaType::Int));
    EXPECT_TRUE(s.contains(QStringLiteral("Language")));

    s.beginGroup(QStringLiteral("Sub"));
    s.setValue(QStringLiteral("Inner/Name"), QStringLiteral("v"));
    EXPECT_EQ(s.group(), QStringLiteral("Sub"));
    EXPECT_EQ(s.childGroups(), QStringList { QStringLiteral("Inner") });
    s.endGroup();
    EXPECT_EQ(ce::reg::getString(Root::LocalMachine, "Software/Kivo/common/Sub/Inner", "Name"), "v");
    EXPECT_EQ(s.value(QStringLiteral("Sub\\Inner\\Name")).toString(), QStringLiteral("v"));

    s.remove(QStringLiteral("Sub"));
    EXPECT_FALSE(ce::reg::keyExists(Root::LocalMachine, "Software\\Kivo\\common\\Sub"));
    EXPECT_TRUE(s.contains(QStringLiteral("Language")));
    s.remove(QStringLiteral("Language"));
    EXPECT_FALSE(s.contains(QStringLiteral("Language")));
}

TEST(RegistrySettings, RemovingEverythingInAGroupEmptiesIt)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Config\\MyNet", "Identity", "user");
    ce::reg::setDword(Root::CurrentUser, "Comm\\EAPOL", "Flags", 7);
    ce::reg::setString(Root::CurrentUser, "Comm\\Other", "Keep", "yes");

    RegistrySettings s(QStringLiteral("HKEY_CURRENT_USER\\Comm"));
    s.beginGroup(QStringLiteral("EAPOL"));
    EXPECT_EQ(s.childKeys(), QStringList { QStringLiteral("Flags") });
    s.remove(QString());
    EXPECT_TRUE(s.childKeys().isEmpty());
    EXPECT_TRUE(s.childGroups().isEmpty());
    s.endGroup();

    EXPECT_TRUE(ce::reg::valueNames(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_TRUE(ce::reg::subKeys(Root::CurrentUser, "Comm\\EAPOL").empty());
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "Comm\\Other", "Keep"), "yes");

    // Emptying a group that does not exist creates nothing.
    s.beginGroup(QStringLiteral("Missing"));
    s.remove(QString());
    s.endGroup();
    EXPECT_FALSE(ce::reg::keyExists(Root::CurrentUser, "Comm\\Missing"));
}

TEST(RegistrySettings, PathOutsideTheRegistryIsInert)
{
    kivo::test::TempDeviceRoot root;
    RegistrySettings s(QStringLiteral("HKEY_CLASSES_ROOT\\x"));
    EXPECT_FALSE(s.isValid());
    s.setValue(QStringLiteral("a"), 1);
    EXPECT_EQ(s.value(QStringLiteral("a"), 5).toInt(), 5);
    EXPECT_FALSE(s.contains(QStringLiteral("a")));
}

} // namespace
