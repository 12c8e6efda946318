// KivoBT's own windows that take the internal messages keep those that carry
// this process's addresses from the instant another process can reach them:
// the guard is checked at that instant, not raced for afterwards.
#include "bt/ui/dlg_settings.h"
#include "bt/ui/phone_connection.h"
#include "platform/wm_state.h"
#include "tests/bt/bt_test_support.h"
#include "tests/bt/ui/ui_test_support.h"

namespace kivo::bt::test {
namespace {

class InternalWindows : public CoreFixture {
protected:
    void SetUp() override
    {
        app();
        installTemplate();
        CoreFixture::SetUp();
    }
    void TearDown() override
    {
        ce::setWindowCreatedHookForTests(nullptr);
        CoreFixture::TearDown();
    }
};

TEST_F(InternalWindows, KeepTheirAddressMessagesFromTheInstantTheyCanBeFound)
{
    std::vector<std::string> checked;
    ce::setWindowCreatedHookForTests([&](ce::HWND h) {
        const std::string title = ce::getWindowTitle(h);
        EXPECT_EQ(ce::findWindow(nullptr, title.c_str()), h) << title << " cannot be found yet";
        const auto window = ce::wm::localWindow(h);
        ASSERT_NE(window, nullptr);
        for (ce::UINT m : InternalAddressMessages())
            EXPECT_FALSE(ce::wm::takesFromOtherProcesses(*window, m))
                << title << " takes " << ce::getRegisteredMessageName(m) << " from another process";
        checked.push_back(title);
    });
    {
        PhoneConnection phone;
        ASSERT_TRUE(phone.create());
        phone.destroyWindow();
    }
    {
        CDlgSettings settings; // one of the internal screens
        ASSERT_TRUE(settings.create());
        settings.destroyWindow();
    }
    ce::setWindowCreatedHookForTests(nullptr);
    EXPECT_EQ(checked, (std::vector<std::string> { kPhoneWindowTitle, "CDlgSettings" }));
}

} // namespace
} // namespace kivo::bt::test
