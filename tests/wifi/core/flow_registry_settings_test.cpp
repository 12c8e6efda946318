#include "wifi/core/RegistrySettings.h"

#include "platform/registry.h"
#include "tests/support/temp_root.h"

#include <gtest/gtest.h>

namespace {

using ce::reg::Root;

TEST(RegistrySettings, RemovingANamedKeyTakesItsValueAndItsSubKey)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::setString(Root::LocalMachine, "Software\\Kivo\\common", "Language", "nor");
    ce::reg::setDword(Root::LocalMachine, "Software\\Kivo\\common", "Day Night settings", 1);
    ce::reg::setString(Root::LocalMachine, "Software\\Kivo\\common\\Sub\\Inner", "Name", "v");
    ce::reg::setString(Root::LocalMachine, "Software\\Kivo\\common\\Sub", "Keep", "k");

    RegistrySettings s(QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Kivo\\common"));
    ASSERT_TRUE(s.isValid());
    // Separators of either kind, inside a group.
    s.beginGroup(QStringLiteral("Sub"));
    s.remove(QStringLiteral("Inner"));
    s.endGroup();
    EXPECT_FALSE(ce::reg::keyExists(Root::LocalMachine, "Software\\Kivo\\common\\Sub\\Inner"));
    EXPECT_EQ(ce::reg::getString(Root::LocalMachine, "Software\\Kivo\\common\\Sub", "Keep"), "k");

    s.remove(QStringLiteral("Sub/Keep"));
    EXPECT_FALSE(ce::reg::getString(Root::LocalMachine, "Software\\Kivo\\common\\Sub", "Keep").has_value());
    s.remove(QStringLiteral("Language"));
    EXPECT_FALSE(ce::reg::getString(Root::LocalMachine, "Software\\Kivo\\common", "Language").has_value());
    EXPECT_EQ(ce::reg::getDword(Root::LocalMachine, "Software\\Kivo\\common", "Day Night settings"), 1u);
}

TEST(RegistrySettings, RemovingEverythingInAGroupEmptiesIt)
{
    kivo::test::TempDeviceRoot root;
    ce::reg::setString(Root::CurrentUser, "Comm\\EAPOL\\Config\\MyNet", "Identity", "user");
    ce::reg::setDword(Root::CurrentUser, "Comm\\EAPOL", "Flags", 7);
    ce::reg::setString(Root::CurrentUser, "Comm\\Other", "Keep", "yes");

    RegistrySettings s(QStringLiteral("HKEY_CURRENT_USER\\Comm"));
    s.beginGroup(QStringLiteral("EAPOL"));
    s.remove(QString());
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
    ce::reg::setString(Root::CurrentUser, "x", "a", "kept");
    RegistrySettings s(QStringLiteral("HKEY_CLASSES_ROOT\\x"));
    EXPECT_FALSE(s.isValid());
    s.remove(QStringLiteral("a"));
    s.remove(QString());
    EXPECT_EQ(ce::reg::getString(Root::CurrentUser, "x", "a"), "kept");
}

} // namespace
