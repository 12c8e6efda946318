// The connecting screen on a real flow and the simulated adapter: the join,
// the failure message after the third poll without a connection or the
// seventh without a verdict, the three verdicts, Cancel and OK, and a look at
// each state.
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "tests/wifi/views/join_screens_support.h"
#include "wifi/views/WiFiConnectView.h"

#include <QLabel>
#include <QTest>

namespace {

using namespace join_test;
using Access = WiFiConnectViewTestAccess;

class ConnectView : public JoinScreens {
protected:
    // The record to join is in place; the switch starts the join.
    WiFiConnectView* connectTo(const WiFiSettings& record)
    {
        flow->setWiFiSettings(record);
        flow->setJoiningName(record.network);
        flow->switchView(CONNECTING_VIEW_ID, 0);
        return qobject_cast<WiFiConnectView*>(flow->view(CONNECTING_VIEW_ID));
    }
    QString message(WiFiConnectView* v) const { return v->findChild<QLabel*>("lblConnectMsg")->text(); }
    phxPushButton* cancel(WiFiConnectView* v) const { return v->findChild<phxPushButton*>("unConnect"); }
    phxPushButton* ok(WiFiConnectView* v) const { return v->findChild<phxPushButton*>("BlackJoinView"); }

    // Ticks until the probe is started on the joined network, then until
    // its verdict is read.
    void connectAndProbe(WiFiConnectView* v, const char* ssid, const char* value)
    {
        ASSERT_TRUE(waitConnectedTo(ssid));
        ASSERT_TRUE(Access::tick(*v));
        EXPECT_EQ(Access::probeState(*v), 100);
        ASSERT_TRUE(waitForVerdict(value));
        ASSERT_TRUE(Access::tick(*v));
    }

    // White text inside the message's box; the animation or OK/Cancel in
    // place, each button's text inside the button.
    void checkLook(WiFiConnectView* v, const QString& name, bool failure)
    {
        const QImage image = views_test::shot(*v, name);
        auto* label = v->findChild<QLabel*>("lblConnectMsg");
        const QRect text = views_test::boundsOf(image, QRect(0, 60, 240, 195), views_test::isWhite);
        ASSERT_TRUE(text.isValid()) << qPrintable(name);
        EXPECT_TRUE(label->geometry().contains(text)) << qPrintable(name);
        auto* icon = v->findChild<phxIcon*>("ConnectingIcon");
        EXPECT_EQ(icon->isVisible(), !failure);
        if (!failure) {
            EXPECT_GT(views_test::pictureShown(image, icon->image().toImage(), icon->geometry().topLeft()), 0.95);
        }
        phxPushButton* shown = failure ? ok(v) : cancel(v);
        EXPECT_TRUE(shown->isVisible());
        EXPECT_FALSE((failure ? cancel(v) : ok(v))->isVisible());
        const char* picture = failure ? ":/Dialog/b_pop_yes.png" : ":/Dialog/b_pop_no.png";
        EXPECT_GT(views_test::pictureShown(image, QImage(picture), QPoint(26, 260)), 0.8);
        // The button's dark text, centred on it.
        const QRect buttonText = views_test::boundsOf(image, shown->geometry().adjusted(4, 4, -4, -4), views_test::isDark);
        ASSERT_TRUE(buttonText.isValid());
        EXPECT_LE((buttonText.center() - shown->geometry().center()).manhattanLength(), 6);
    }
};

TEST_F(ConnectView, WrongKeyFailsOnTheThirdPollAndOkLeadsBackToAddNetwork)
{
    makeFlow({ saved("HomeNet") });
    WiFiConnectView* v = connectTo(saved("Office"));
    ASSERT_TRUE(v);
    EXPECT_EQ(message(v), "Connecting\n \"Office\"");
    EXPECT_EQ(cancel(v)->text(), "Cancel");
    EXPECT_EQ(ok(v)->text(), "OK");
    EXPECT_TRUE(Access::iconAnimating(*v));
    EXPECT_TRUE(flow->isScreenShown());
    checkLook(v, "connect_connecting", false);
    EXPECT_EQ(Access::pollMs(*v), 3000);

    for (int poll = 1; poll <= 2; ++poll) {
        ASSERT_TRUE(Access::tick(*v));
        EXPECT_EQ(message(v), "Connecting\n \"Office\"") << poll;
    }
    ASSERT_TRUE(Access::tick(*v));
    EXPECT_EQ(message(v), "Unable to connect to\n the network\n \"Office\"");
    EXPECT_FALSE(Access::tick(*v)); // the poll has stopped
    EXPECT_FALSE(Access::iconAnimating(*v));
    checkLook(v, "connect_failed", true);

    QTest::mouseClick(ok(v), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(verdict(), "LaunchBrowser=999");
    EXPECT_TRUE(wzc::preferredList().empty());
    EXPECT_EQ(savedNames()[0], "HomeNet");
    EXPECT_EQ(savedNames()[1], "");
}

TEST_F(ConnectView, CancelLeadsBackAtOnce)
{
    makeFlow({});
    WiFiConnectView* v = connectTo(saved("Office"));
    ASSERT_TRUE(Access::tick(*v));
    QTest::mouseClick(cancel(v), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_FALSE(Access::tick(*v));
    EXPECT_FALSE(Access::iconAnimating(*v));
    EXPECT_TRUE(wzc::preferredList().empty());
}

TEST_F(ConnectView, VerdictsDecideWhatIsSavedAndWhereTheScreenGoes)
{
    struct Case {
        const char* name;
        bool closedPort;
        const char* verdict;
        int view;
        bool saved;
    } cases[] = {
        { "internet", false, "1", SYNC_VIEW_ID, true },
        { "no internet", true, "2", MAIN_VIEW_ID, false },
        { "portal", false, "0", MAIN_VIEW_ID, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        if (c.closedPort)
            route(kivo::test::closedLoopbackPort());
        if (std::string(c.verdict) == "0")
            server.setAnswer(LocalHttpServer::status(200, "OK", "<html>Sign in</html>"));
        makeFlow({ saved("HomeNet") });
        WiFiConnectView* v = connectTo(saved("CafeGuest"));
        connectAndProbe(v, "CafeGuest", c.verdict);
        EXPECT_EQ(flow->currentViewId(), c.view);
        EXPECT_FALSE(Access::tick(*v));
        EXPECT_FALSE(Access::iconAnimating(*v));
        const std::vector<QString> names = savedNames();
        EXPECT_EQ(names[0], c.saved ? "CafeGuest" : "HomeNet");
        EXPECT_EQ(names[1], c.saved ? "HomeNet" : "");
        if (std::string(c.verdict) == "0") {
            EXPECT_TRUE(pumpUntil([&] { return browserStarts() == 1; }));
            EXPECT_TRUE(flow->isLoginPending());
        } else {
            EXPECT_EQ(browserStarts(), 0);
        }
        if (std::string(c.verdict) == "2") {
            EXPECT_TRUE(wzc::preferredList().empty());
        }
    }
}

TEST_F(ConnectView, SeventhPollWithoutVerdictFails)
{
    server.setAnswer({}); // the probe's request is never answered while the screen polls
    route(server.port(), 3000);
    makeFlow({});
    WiFiConnectView* v = connectTo(saved("CafeGuest"));
    ASSERT_TRUE(waitConnectedTo("CafeGuest"));
    ASSERT_TRUE(Access::tick(*v));
    EXPECT_EQ(Access::probeState(*v), 100);
    ASSERT_TRUE(pumpUntil([&] { return server.count() >= 1; }));
    for (int poll = 1; poll <= 6; ++poll) {
        ASSERT_TRUE(Access::tick(*v));
        EXPECT_EQ(message(v), "Connecting\n \"CafeGuest\"") << poll;
    }
    ASSERT_TRUE(Access::tick(*v));
    EXPECT_EQ(message(v), "Unable to connect to\n the network\n \"CafeGuest\"");
    EXPECT_EQ(Access::probeState(*v), 0);
    EXPECT_EQ(savedNames()[0], "");
}

TEST_F(ConnectView, LingeringOldAssociationIsNotTakenForTheNewNetwork)
{
    // The adapter stays on HomeNet while it tries Office (whose key is wrong).
    setWorld(600000);
    makeFlow({ saved("HomeNet") });
    flow->setWiFiSettings(saved("HomeNet"));
    flow->joinNetwork();
    ASSERT_TRUE(waitConnectedTo("HomeNet"));

    WiFiConnectView* v = connectTo(saved("Office"));
    EXPECT_TRUE(logged("[In WiFiConnectView - setupView()] Another network is connected!"));
    // HomeNet is still associated with its address: a join of Office that
    // took any association for success would probe HomeNet and save Office.
    for (int poll = 1; poll <= 3; ++poll) {
        ASSERT_TRUE(Access::tick(*v));
        EXPECT_TRUE(flow->isConnectStatus());
        EXPECT_EQ(Access::probeState(*v), 0) << poll;
    }
    ASSERT_TRUE(Access::tick(*v)); // the fourth: one more, as another network was connected
    EXPECT_EQ(message(v), "Unable to connect to\n the network\n \"Office\"");
    EXPECT_EQ(verdict(), ""); // no probe was started
    EXPECT_EQ(kivowifi::livePortalProbes(), 0);
    EXPECT_EQ(savedNames()[0], "HomeNet");
    EXPECT_EQ(savedNames()[1], "");
}

TEST_F(ConnectView, LongNamesAreShortenedFromSixteenCharacters)
{
    makeFlow({});
    // Names of networks out of range: the join fails.
    const std::pair<const char*, const char*> cases[] = {
        { "Mountain Lodge1", "Mountain Lodge1" },
        { "Mountain Lodge12", "Mountain Lod..." },
    };
    for (const auto& [name, shown] : cases) {
        SCOPED_TRACE(name);
        WiFiSettings record = saved("Nowhere");
        record.network = QLatin1String(name);
        WiFiConnectView* v = connectTo(record);
        EXPECT_EQ(message(v), QStringLiteral("Connecting\n \"%1\"").arg(QLatin1String(shown)));
        checkLook(v, QStringLiteral("connect_name_%1").arg(QString::fromLatin1(name).size()), false);
        for (int poll = 0; poll < 3; ++poll)
            Access::tick(*v);
        EXPECT_EQ(message(v), QStringLiteral("Unable to connect to\n the network\n \"%1\"").arg(QLatin1String(shown)));
        checkLook(v, QStringLiteral("connect_failed_name_%1").arg(QString::fromLatin1(name).size()), true);
    }
}

TEST_F(ConnectView, IconRunsThroughFramesOneToEight)
{
    makeFlow({});
    WiFiConnectView* v = connectTo(saved("Nowhere"));
    auto* icon = v->findChild<phxIcon*>("ConnectingIcon");
    std::vector<int> frames;
    for (int i = 0; i < 10; ++i) {
        v->ConnectIcon();
        const QImage shown = icon->image().toImage();
        for (int f = 1; f <= 9; ++f)
            if (shown == QImage(QStringLiteral(":/Loading_big/i_loading_%1.png").arg(f)).convertToFormat(shown.format()))
                frames.push_back(f);
    }
    EXPECT_EQ(frames, (std::vector<int> { 1, 2, 3, 4, 5, 6, 7, 8, 1, 2 }));
}

} // namespace

int main(int argc, char** argv)
{
    return join_test::runTests(argc, argv);
}
