#include "wifi/core/flow_ids.h"
#include "wifi/core/flow_navigation.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using kivowifi::BackConditions;
using kivowifi::BackStep;
using kivowifi::ViewNavigator;

namespace {

// Runs a script of "S<id>" (switch, mode 0), "S<id>/<mode>", "P<id>"
// (push only), "R" (release: stack emptied) and "B" (back, carried out as
// the flow does: a switch, or the exit alert). Returns the steps of the
// back presses.
std::vector<BackStep> run(ViewNavigator& nav, const std::string& script, const BackConditions& c = {})
{
    std::vector<BackStep> steps;
    std::istringstream in(script);
    std::string op;
    while (in >> op) {
        if (op[0] == 'S') {
            auto slash = op.find('/');
            int id = std::stoi(op.substr(1, slash));
            int mode = slash == std::string::npos ? 0 : std::stoi(op.substr(slash + 1));
            nav.enter(id, mode);
        } else if (op[0] == 'P') {
            nav.push(std::stoi(op.substr(1)));
        } else if (op == "R") {
            nav.clear();
        } else if (op == "B") {
            BackStep step = nav.back(c);
            if (step.kind == BackStep::Switch)
                nav.enter(step.view, step.mode);
            else if (step.kind == BackStep::Exit)
                nav.enter(ALERT_VIEW_ID, 0);
            steps.push_back(step);
        }
    }
    return steps;
}

struct StackCase {
    const char* name;
    const char* script;
    int current;
    int previous;
    std::vector<int> stack;
};

class ViewStackTable : public ::testing::TestWithParam<StackCase> { };

TEST_P(ViewStackTable, EndsOnExpectedViewAndStack)
{
    const StackCase& c = GetParam();
    ViewNavigator nav;
    run(nav, c.script, BackConditions { false, false, 0, true });
    EXPECT_EQ(nav.current(), c.current);
    EXPECT_EQ(nav.previous(), c.previous);
    EXPECT_EQ(nav.stack(), c.stack);
}

INSTANTIATE_TEST_SUITE_P(Sequences, ViewStackTable,
    ::testing::Values(StackCase { "StartOnSearching", "S11", 11, 0, { 11 } },
        // Keyboard back returns to add network without pushing it again.
        StackCase { "KeyboardBackToAddNetwork", "S11 S0 S1 S14 B", 1, 14, { 11, 0, 1 } },
        // Add network's back switches to the list normally, so the list is pushed.
        StackCase { "AddNetworkBackPushesList", "S11 S0 S1 S14 B B", 0, 1, { 11, 0, 1, 0 } },
        StackCase { "ChooserBackUnwindsTwice", "S0 S1 S3 S6/7 B B", 1, 3, { 0, 1 } },
        // A back on a view whose id is the only one re-shows it.
        StackCase { "SingleIdNotPopped", "S13 B", 13, 13, { 13 } },
        StackCase { "PushedIdIsBackTarget", "S13 P11 B", 13, 13, { 13 } },
        StackCase { "PushedIdIsBackTargetFromAlert", "S13 P11 S12 B", 11, 12, { 13, 11 } },
        // Info pops an alert on top before returning to the list.
        StackCase { "InfoPopsAlertOnTop", "S0 S12 S5/10 B", 0, 5, { 0, 0 } },
        StackCase { "InfoKeepsOtherTop", "S0 S5 B", 0, 5, { 0, 5, 0 } },
        // After every screen was released there is nothing to go back to.
        StackCase { "EmptyStackBackDoesNothing", "S13 R B", 13, 0, {} },
        StackCase { "UnknownIdsArePushed", "S11 S8 B", 11, 8, { 11 } },
        StackCase { "BackModeDoesNotPush", "S0 S2/10", 2, 0, { 0 } }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ViewNavigatorBack, KeyboardResultOnlyWhenEnteredFromAddNetwork)
{
    ViewNavigator a;
    auto steps = run(a, "S0 S1 S14 B");
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_TRUE(steps[0].takeKeyboardResult);
    EXPECT_STREQ(steps[0].log, "[In Keyboard - onBackBtnClick()]");
    EXPECT_EQ(steps[0].mode, BACK_VIEW_MODE);

    ViewNavigator b;
    steps = run(b, "S0 S14 B");
    EXPECT_FALSE(steps[0].takeKeyboardResult);
    EXPECT_EQ(b.current(), MAIN_VIEW_ID);
}

struct MainBackCase {
    const char* name;
    BackConditions conditions;
    BackStep::Kind kind;
    int view;
    bool emptySync;
    bool reload;
    const char* log;
};

class NetworkListBack : public ::testing::TestWithParam<MainBackCase> { };

TEST_P(NetworkListBack, FollowsAdapterAndLoginState)
{
    const MainBackCase& c = GetParam();
    ViewNavigator nav;
    nav.enter(SEARCHING_VIEW_ID, 0);
    nav.enter(MAIN_VIEW_ID, 0);
    BackStep step = nav.back(c.conditions);
    EXPECT_EQ(step.kind, c.kind);
    if (c.kind == BackStep::Switch) {
        EXPECT_EQ(step.view, c.view);
        EXPECT_EQ(step.mode, 0);
    }
    EXPECT_EQ(step.emptyLastSyncTime, c.emptySync);
    EXPECT_EQ(step.reloadSavedNetworks, c.reload);
    EXPECT_STREQ(step.log, c.log);
    EXPECT_EQ(nav.stack(), (std::vector<int> { 11, 0 })); // decided without popping
}

INSTANTIATE_TEST_SUITE_P(Conditions, NetworkListBack,
    ::testing::Values(
        MainBackCase { "ConnectedLoginPendingUnfinished", { true, true, 2, true }, BackStep::Switch, 11, false, false,
            "[In WifiSetting - onBackBtnClick()] is connecting, but can't connct to internet" },
        MainBackCase { "ConnectedLoginPendingNoResult", { true, true, 0, true }, BackStep::Switch, 11, false, false,
            "[In WifiSetting - onBackBtnClick()] is connecting, but can't connct to internet" },
        MainBackCase { "ConnectedLoginDone", { true, true, 1, false }, BackStep::Switch, 13, true, false,
            "[In WifiSetting - onBackBtnClick()] is connecting" },
        MainBackCase { "Connected", { true, false, 0, false }, BackStep::Switch, 13, true, false,
            "[In WifiSetting - onBackBtnClick()] is connecting" },
        MainBackCase { "NotConnectedNoSaved", { false, false, 0, false }, BackStep::Exit, -1, false, false,
            "[In WifiSetting - onBackBtnClick()] isn't connecting" },
        MainBackCase { "NotConnectedSaved", { false, true, 2, true }, BackStep::Switch, 11, false, true,
            "[In WifiSetting - onBackBtnClick()] isn't connecting" }),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WiFiStateReporting, FollowsTheReportingRule)
{
    struct Case {
        int from, to;
        bool reported;
    } cases[] = {
        { KIVOWIFI_STATE_UNKNOWN, 0, true },
        { KIVOWIFI_STATE_UNKNOWN, 1, true },
        { 0, 0, false },
        { 0, 2, true },
        { 0, 1, true },
        { 1, 1, false },
        { 1, 2, false },
        { 1, 3, false },
        { 1, 4, false },
        { 1, 0, true },
        { 2, 2, false },
        { 2, 3, true },
        { 3, 4, true },
        { 4, 4, false },
        { 4, 1, true },
        { 3, 0, true },
    };
    for (const Case& c : cases)
        EXPECT_EQ(kivowifi::isWiFiStateReported(c.from, c.to), c.reported) << c.from << " -> " << c.to;
}

TEST(ViewIds, LogNamesAndScreens)
{
    EXPECT_STREQ(viewLogName(SEARCHING_VIEW_ID), "WLAN Sync(Searching)");
    EXPECT_STREQ(viewLogName(DISABLED_VIEW_ID), "");
    EXPECT_STREQ(viewLogName(9), "");
    for (int id : { 0, 1, 2, 3, 4, 5, 6, 11, 12, 13, 14 })
        EXPECT_TRUE(isScreenViewId(id)) << id;
    for (int id : { -1, 7, 8, 9, 10, 15 })
        EXPECT_FALSE(isScreenViewId(id)) << id;
}

} // namespace
