// The add-network screen on a real flow and the simulated adapter: what each
// hand-off shows, the record "Join" hands on (also with a translation
// loaded), the taps that lead to the keyboard, security and KivoMap's
// keyboard, joins that succeed or fail, and a look by day and by night.
#include "controls/core/phxPushButton.h"
#include "controls/core/phxVirtualList.h"
#include "platform/paths.h"
#include "sim/kivomap/kivomap_peer.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "tests/wifi/views/join_user.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/core/saved_networks.h"
#include "wifi/views/WiFiJoinNetworkView.h"
#include "wifi/views/WiFiMainView.h"
#include "wifi/views/WiFiSecurityView.h"
#include "wifi/views/register_views.h"

#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStringListModel>
#include <QTest>
#include <QTranslator>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <ostream>

// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const WiFiSettings& r, std::ostream* out)
{
    *out << '{' << r.encryption.toStdString() << " | " << r.authentication.toStdString() << " | "
         << r.keyIndex.toStdString() << " | " << r.network.toStdString() << " | " << r.userName.toStdString() << " | "
         << r.password.toStdString() << '}';
}

namespace {

namespace sim = kivo::sim::wzc;
using kivo::test::pumpUntil;
using join_user::child;
using join_user::joinEnabled;
using join_user::labelShown;
using join_user::nameShown;
using join_user::passwordShown;
using join_user::passwordVisible;
using join_user::tap;

const char* const kWorld = R"({
  "adapter": { "name": "WLAN1", "description": "Sim adapter" },
  "scanDelayMs": 20, "associationDelayMs": 30, "addressDelayMs": 60,
  "networks": [
    { "ssid": "HomeNet", "privacy": "AES", "authentication": "WPA2PSK", "rssi": -48, "key": "ridebikes",
      "address": "192.168.1.20", "mask": "255.255.255.0", "gateway": "192.168.1.1", "dhcpServer": "192.168.1.1" },
    { "ssid": "CafeGuest", "privacy": "none", "authentication": "Open", "rssi": -67, "address": "10.20.0.31" },
    { "ssid": "OldRouter", "privacy": "WEP", "authentication": "Open", "rssi": -80, "key": "12345",
      "address": "192.168.0.5" },
    { "ssid": "Office", "privacy": "TKIP", "authentication": "WPAPSK", "rssi": -74, "key": "not-your-key",
      "address": "10.1.0.8" },
    { "ssid": "Attic", "privacy": "WEPKeyAbsent", "authentication": "Open", "rssi": -85 },
    { "ssid": "Lab", "privacy": "AES", "authentication": "WPA2", "rssi": -60 }
  ]
})";
constexpr int kNetworkCount = 6;

const char* const kDir = "\\SystemDrive\\Falmo\\program\\wifi\\";
const QString kNamePrompt = QStringLiteral("   Enter network name");

WiFiSettings saved(const char* enc, const char* auth, const char* name, const char* password)
{
    return { QLatin1String(enc), QLatin1String(auth), QStringLiteral("Key index 1"), QLatin1String(name),
        QStringLiteral("User"), QLatin1String(password) };
}

// A language in which every security label and the prompts read otherwise.
class TestTranslator : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        static const std::map<QString, QString> texts = {
            { "None", "Aucune" },
            { "WEP", "WEP (clé)" },
            { "WPA-PSK(TKIP)", "WPA-PSK (TKIP)" },
            { "WPA-PSK(AES)", "WPA-PSK (AES)" },
            { "WPA2-PSK(TKIP)", "WPA2-PSK (TKIP)" },
            { "WPA2-PSK(AES)", "WPA2-PSK (AES)" },
            { "   Enter network name", "   Nom du réseau" },
            { "   Enter password", "   Mot de passe" },
        };
        if (QLatin1String(context) != QLatin1String("QObject"))
            return QString();
        auto it = texts.find(QString::fromUtf8(source));
        return it == texts.end() ? QString() : it->second;
    }
    bool isEmpty() const override { return false; }
};

class JoinViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        views_test::prepareFlowScreens(0.01);
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        root.writeFile(sim::kWorldFile, kWorld);
        sim::reload();
        {
            QSettings ini(QString::fromStdString(ce::resolvePath(std::string(kDir) + "WiFiSettings.ini", true)),
                QSettings::IniFormat);
            kivowifi::writeSlot(ini, 0, saved("Encryption 3 enabled", "WPA2 PSK", "HomeNet", "ridebikes"));
            kivowifi::writeSlot(ini, 1, saved("WEP disabled", "Open", "CafeGuest", "0"));
            kivowifi::writeSlot(ini, 2, saved("WEP enabled", "Open", "OldRouter", "12345"));
        }
        flow = std::make_unique<KivoWiFiFlow>();
        flow->setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_EQ(flow->readWiFiSettings(), 0);
        ASSERT_TRUE(pumpUntil([&] {
            flow->configWiFi().refreshVisibleList();
            return flow->getAPCount() == kNetworkCount;
        }));
        flow->show();
    }

    void TearDown() override
    {
        if (translator) {
            QCoreApplication::removeTranslator(translator.get());
            translator.reset();
        }
        views_test::endFlow(flow);
    }

    int apIndex(const QString& name) { return join_user::apIndex(flow.get(), name); }
    WiFiJoinNetworkView* chooseFromList(const QString& name) { return join_user::chooseFromList(flow.get(), name); }
    WiFiJoinNetworkView* addNewNetwork() { return join_user::addNewNetwork(flow.get()); }
    void typeOnKeyboard(const QString& text) { join_user::typeOnKeyboard(flow.get(), text); }

    bool joined(const char* ssid, int timeoutMs = 5000)
    {
        return pumpUntil([&] { return flow->isConnectStatus() && sim::status().associatedSsid == ssid; }, timeoutMs);
    }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
    std::unique_ptr<TestTranslator> translator;
};

// One hand-off of the flow, after an optional new security choice.
struct Step {
    const char* choice; // null: unchanged
    QString text;
    int type;
    const char* listed; // the visible network whose index goes along; null: the index given
    int index;
};

struct SetupCase {
    const char* what;
    std::vector<Step> steps;
    QString name, password, label, choice;
    bool join, passwordShown;
    int selected; // -100: the listed network's index
};

TEST_F(JoinViewTest, EachHandOffShowsItsFieldsSecurityAndButtons)
{
    const QString prompt = kNamePrompt;
    const int listed = -100;
    const SetupCase cases[] = {
        // A new network: the name prompt, the label from the choice.
        { "new, open", { { "Open", "", 4, nullptr, -1 } }, prompt, "", "None", "Open", false, false, -1 },
        { "new, WPA2 chosen", { { "WPA2 PSK(AES)", "", 4, nullptr, -1 } }, prompt, "", "WPA2-PSK(AES)",
            "WPA2 PSK(AES)", false, false, -1 },
        { "new, empty choice", { { "", "", 4, nullptr, -1 } }, prompt, "", "None", "", false, false, -1 },
        { "new, empty slot's choice", { { "BravikDefault", "", 4, nullptr, -1 } }, prompt, "", "None", "BravikDefault",
            false, false, -1 },
        // A typed name: open needs only the name, WPA a key, WEP none.
        { "typed, open", { { "Open", "NewNet", 1, nullptr, -1 } }, "NewNet", "", "None", "Open", true, false, -2 },
        { "typed, WPA without key", { { "WPAPSK(TKIP)", "NewNet", 1, nullptr, -1 } }, "NewNet", "", "WPA-PSK(TKIP)",
            "WPAPSK(TKIP)", false, true, -2 },
        { "typed, WEP without key", { { "Auto switch", "NewNet", 1, nullptr, -1 } }, "NewNet", "", "WEP",
            "Auto switch", true, true, -2 },
        { "typed empty", { { "WPAPSK(AES)", "", 1, nullptr, -1 } }, prompt, "", "WPA-PSK(AES)", "WPAPSK(AES)", false,
            false, -2 },
        { "typed prompt", { { "Open", prompt, 1, nullptr, -1 } }, prompt, "", "None", "Open", false, false, -2 },
        // A typed saved name takes the saved security and key; "0" is no key.
        { "typed saved WPA2", { { "Open", "HomeNet", 1, nullptr, -1 } }, "HomeNet", "ridebikes", "WPA2-PSK(AES)",
            "WPA2 PSK(AES)", true, true, -2 },
        { "typed saved open", { { "WPAPSK(AES)", "CafeGuest", 1, nullptr, -1 } }, "CafeGuest", "", "None", "Open",
            true, false, -2 },
        { "typed saved WEP", { { "Open", "OldRouter", 1, nullptr, -1 } }, "OldRouter", "12345", "WEP", "Auto switch",
            true, true, -2 },
        // A typed key.
        { "typed key",
            { { "WPA2 PSK(TKIP)", "NewNet", 1, nullptr, -1 }, { nullptr, "secret", 2, nullptr, -1 } }, "NewNet",
            "secret", "WPA2-PSK(TKIP)", "WPA2 PSK(TKIP)", true, true, -2 },
        { "typed key prompt",
            { { "WPA2 PSK(TKIP)", "NewNet", 1, nullptr, -1 }, { nullptr, "x", 2, nullptr, -1 },
                { nullptr, "   Enter password", 2, nullptr, -1 } },
            "NewNet", "", "WPA2-PSK(TKIP)", "WPA2 PSK(TKIP)", false, true, -2 },
        // A listed network: the security of its access point.
        { "listed saved WPA2", { { "Open", "HomeNet", 3, "HomeNet", 0 } }, "HomeNet", "ridebikes", "WPA2-PSK(AES)",
            "WPA2 PSK(AES)", true, true, listed },
        { "listed WPA TKIP", { { "Open", "Office", 3, "Office", 0 } }, "Office", "", "WPA-PSK(TKIP)", "WPAPSK(TKIP)",
            false, true, listed },
        { "listed WEP", { { "Open", "OldRouter", 3, "OldRouter", 0 } }, "OldRouter", "12345", "WEP", "Auto switch",
            true, true, listed },
        { "listed WEP key absent", { { "WPAPSK(AES)", "Attic", 3, "Attic", 0 } }, "Attic", "", "None", "Open", true,
            false, listed },
        { "listed 802.1X", { { "Open", "Lab", 3, "Lab", 0 } }, "Lab", "", "WPA2-PSK(AES)", "WPA2 PSK(AES)", false,
            true, listed },
        { "listed open", { { "WPAPSK(AES)", "CafeGuest", 3, "CafeGuest", 0 } }, "CafeGuest", "", "None", "Open", true,
            false, listed },
        // Listed without an index: the label from the choice.
        { "listed, no index", { { "WPAPSK(AES)", "Elsewhere", 3, nullptr, -1 } }, "Elsewhere", "", "WPA-PSK(AES)",
            "WPAPSK(AES)", false, true, -1 },
        // Any other type changes no field; the label follows the choice,
        // unless the choice is none of the six.
        { "other type",
            { { "Open", "NewNet", 1, nullptr, -1 }, { "WPA2 PSK(TKIP)", "ignored", -1, nullptr, -2 } }, "NewNet", "",
            "WPA2-PSK(TKIP)", "WPA2 PSK(TKIP)", false, true, -2 },
        { "choice outside the table",
            { { "Auto switch", "NewNet", 1, nullptr, -1 }, { "Shared", "", -1, nullptr, -2 } }, "NewNet", "", "WEP",
            "Shared", true, true, -2 },
    };
    for (const SetupCase& c : cases) {
        SCOPED_TRACE(c.what);
        WiFiJoinNetworkView view(QStringLiteral("480x272"), flow.get());
        for (const Step& s : c.steps) {
            if (s.choice)
                flow->setSecurityChoice(QLatin1String(s.choice));
            view.setupView(s.text, s.type, s.listed ? apIndex(QLatin1String(s.listed)) : s.index);
        }
        EXPECT_EQ(nameShown(&view), c.name);
        EXPECT_EQ(passwordShown(&view), c.password);
        EXPECT_EQ(labelShown(&view), c.label);
        EXPECT_EQ(flow->securityChoice(), c.choice);
        EXPECT_EQ(joinEnabled(&view), c.join);
        EXPECT_EQ(passwordVisible(&view), c.passwordShown);
        EXPECT_EQ(view.selectedIndex(), c.selected == listed ? apIndex(c.name) : c.selected);
        // The prompt is grey, a name black.
        EXPECT_TRUE(child<QLineEdit>(&view, "NameEdit")
                        ->styleSheet()
                        .startsWith(c.name == prompt ? QStringLiteral("color: gray;") : QStringLiteral("color: black;")));
    }
}

TEST_F(JoinViewTest, ASavedNetworkFillsTheFieldsOnceUntilTheScreenIsLeftOrJoined)
{
    WiFiJoinNetworkView* view = addNewNetwork();
    ASSERT_TRUE(view);
    view->setupView(QStringLiteral("HomeNet"), 1, -1);
    EXPECT_EQ(passwordShown(view), "ridebikes");
    EXPECT_TRUE(view->isPrefilled());

    // Edited after the fill, typed again: nothing is filled again.
    view->setupView(QStringLiteral("changed"), 2, -1);
    flow->setSecurityChoice(QStringLiteral("WPAPSK(TKIP)"));
    view->setupView(QStringLiteral("HomeNet"), 1, -1);
    EXPECT_EQ(passwordShown(view), "changed");
    EXPECT_EQ(flow->securityChoice(), "WPAPSK(TKIP)");

    // Leaving by the back button forgets the fill.
    flow->onBackBtnClick();
    EXPECT_EQ(flow->currentViewId(), MAIN_VIEW_ID);
    EXPECT_FALSE(view->isPrefilled());
    view = addNewNetwork();
    view->setupView(QStringLiteral("HomeNet"), 1, -1);
    EXPECT_EQ(passwordShown(view), "ridebikes");
    EXPECT_EQ(flow->securityChoice(), "WPA2 PSK(AES)");

    // So does a join.
    tap(child(view, "JoinBtn"));
    EXPECT_EQ(flow->currentViewId(), CONNECTING_VIEW_ID);
    EXPECT_FALSE(view->isPrefilled());
}

struct RecordCase {
    const char* choice;
    const char* label;
    const char* encryption;
    const char* authentication;
};

// The record of a new network follows the label, in English and in another
// language alike; a WEP network may go without a key in both.
TEST_F(JoinViewTest, JoinHandsOnTheRecordOfTheLabelInAnyLanguage)
{
    const RecordCase cases[] = {
        { "Open", "None", "WEP disabled", "Open" },
        { "Auto switch", "WEP", "WEP enabled", "Open" },
        { "WPAPSK(TKIP)", "WPA-PSK(TKIP)", "Encryption 2 enabled", "WPAPSK" },
        { "WPAPSK(AES)", "WPA-PSK(AES)", "Encryption 3 enabled", "WPAPSK" },
        { "WPA2 PSK(TKIP)", "WPA2-PSK(TKIP)", "Encryption 2 enabled", "WPA2 PSK" },
        { "WPA2 PSK(AES)", "WPA2-PSK(AES)", "Encryption 3 enabled", "WPA2 PSK" },
    };
    for (bool translated : { false, true }) {
        if (translated) {
            translator = std::make_unique<TestTranslator>();
            QCoreApplication::installTranslator(translator.get());
        }
        for (const RecordCase& c : cases) {
            SCOPED_TRACE(std::string(translated ? "translated " : "") + c.choice);
            const QString label = QCoreApplication::translate("QObject", c.label);
            ASSERT_EQ(label == QLatin1String(c.label), !translated);
            WiFiJoinNetworkView* view = addNewNetwork();
            flow->setSecurityChoice(QLatin1String(c.choice));
            view->setupView(QString(), -1, -2);
            EXPECT_EQ(nameShown(view), QCoreApplication::translate("QObject", "   Enter network name"));
            EXPECT_FALSE(joinEnabled(view));

            view->setupView(QStringLiteral("NewNet"), 1, -1);
            EXPECT_EQ(labelShown(view), label);
            const bool wep = QLatin1String(c.choice) == QLatin1String("Auto switch");
            EXPECT_EQ(joinEnabled(view), wep || label == QLatin1String(translated ? "Aucune" : "None"));

            view->setupView(QStringLiteral("pass phrase"), 2, -1);
            ASSERT_TRUE(joinEnabled(view));
            tap(child(view, "JoinBtn"));
            EXPECT_EQ(flow->currentViewId(), CONNECTING_VIEW_ID);
            const WiFiSettings expected { QLatin1String(c.encryption), QLatin1String(c.authentication),
                QStringLiteral("Key index 1"), QStringLiteral("NewNet"), QStringLiteral("User"),
                QStringLiteral("pass phrase") };
            EXPECT_EQ(view->joinRecord(), expected);
            EXPECT_EQ(flow->getWiFiSettings(), expected);
        }
    }
}

TEST_F(JoinViewTest, AListedOpenNetworkJoinsWithItsAccessPointsSettings)
{
    WiFiJoinNetworkView* view = chooseFromList(QStringLiteral("CafeGuest"));
    ASSERT_TRUE(view);
    EXPECT_EQ(nameShown(view), "CafeGuest");
    EXPECT_EQ(labelShown(view), "None");
    EXPECT_FALSE(passwordVisible(view));
    ASSERT_TRUE(joinEnabled(view));
    tap(child(view, "JoinBtn"));
    const int index = apIndex(QStringLiteral("CafeGuest"));
    const WiFiSettings inUse = flow->getWiFiSettings();
    EXPECT_EQ(inUse.encryption, "WEP disabled");
    EXPECT_EQ(inUse.authentication, "Open");
    EXPECT_EQ(inUse.keyIndex, flow->getAPKeyIndexText(index));
    EXPECT_EQ(inUse.network, "CafeGuest");
    EXPECT_EQ(inUse.password, "0"); // how the flow keeps "no key"
    EXPECT_EQ(flow->joiningName(), "CafeGuest");
    EXPECT_EQ(flow->joinNetwork(), 0);
    EXPECT_TRUE(joined("CafeGuest"));
}

// A key is handed on as typed; the network judges it: the right passphrase
// joins, seven characters never do.
TEST_F(JoinViewTest, TheKeyGoesOnAsTypedAndOnlyTheRightOneJoins)
{
    for (const char* key : { "not-you", "not-your-key" }) {
        SCOPED_TRACE(key);
        WiFiJoinNetworkView* view = chooseFromList(QStringLiteral("Office"));
        EXPECT_FALSE(joinEnabled(view));
        view->setupView(QLatin1String(key), 2, -1);
        ASSERT_TRUE(joinEnabled(view));
        tap(child(view, "JoinBtn"));
        EXPECT_EQ(flow->getWiFiSettings().password, QLatin1String(key));
        EXPECT_EQ(flow->getWiFiSettings().authentication, "WPAPSK");
        EXPECT_EQ(flow->getWiFiSettings().encryption, "Encryption 2 enabled");
        flow->joinNetwork();
        if (QLatin1String(key).size() < 8) {
            EXPECT_FALSE(joined("Office", 1000));
            EXPECT_FALSE(sim::status().associated);
        } else {
            EXPECT_TRUE(joined("Office"));
        }
    }
}

// The taps: the name and the password lead to the keyboard with what they
// show, the security button to the security screen; what comes back is
// shown. A listed network left for a new one leaves its security behind.
TEST_F(JoinViewTest, ListedThenNewNetworkTakesItsOwnSecurityThroughTheTaps)
{
    WiFiJoinNetworkView* view = chooseFromList(QStringLiteral("HomeNet"));
    EXPECT_EQ(labelShown(view), "WPA2-PSK(AES)");
    flow->onBackBtnClick();
    ASSERT_EQ(flow->currentViewId(), MAIN_VIEW_ID);

    view = addNewNetwork();
    EXPECT_EQ(view->selectedIndex(), -1);
    EXPECT_EQ(labelShown(view), "None");
    QTest::mousePress(child(view, "NameEdit"), Qt::LeftButton);
    EXPECT_EQ(flow->keyboardText(), kNamePrompt);
    EXPECT_EQ(flow->inputType(), 1);
    typeOnKeyboard(QStringLiteral("Trailhead"));
    EXPECT_EQ(nameShown(view), "Trailhead");
    EXPECT_TRUE(joinEnabled(view));

    // Security: the security screen's pick becomes the label.
    tap(child(view, "SecurityBtn"));
    ASSERT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);
    auto* security = qobject_cast<WiFiSecurityView*>(flow->view(SECURITY_VIEW_ID));
    security->ListItemSelected(security->listBinding()->model()->index(4, 0));
    flow->onBackBtnClick();
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(labelShown(view), "WPA2-PSK(TKIP)");
    EXPECT_EQ(nameShown(view), "Trailhead");
    EXPECT_FALSE(joinEnabled(view));

    QTest::mousePress(child(view, "PasswordEdit"), Qt::LeftButton);
    EXPECT_EQ(flow->keyboardText(), "");
    EXPECT_EQ(flow->inputType(), 2);
    typeOnKeyboard(QStringLiteral("s3cret!"));
    EXPECT_EQ(passwordShown(view), "s3cret!");
    ASSERT_TRUE(joinEnabled(view));
    // The password's tap hands the key itself to the keyboard.
    QTest::mousePress(child(view, "PasswordEdit"), Qt::LeftButton);
    EXPECT_EQ(flow->keyboardText(), "s3cret!");
    typeOnKeyboard(QString());
    EXPECT_EQ(passwordShown(view), "s3cret!");

    tap(child(view, "JoinBtn"));
    EXPECT_EQ(flow->getWiFiSettings(),
        (WiFiSettings { "Encryption 2 enabled", "WPA2 PSK", "Key index 1", "Trailhead", "User", "s3cret!" }));
}

TEST_F(JoinViewTest, TheUserNameIsTypedOnKivoMapsKeyboard)
{
    kivo::sim::KivoMapPeer kivoMap;
    ASSERT_TRUE(kivoMap.start());
    ASSERT_TRUE(kivoMap.waitForEvents(1, 5000));
    WiFiJoinNetworkView* view = addNewNetwork();
    view->OnUserNameClicked();
    EXPECT_EQ(flow->keyboardTarget(), 3);
    EXPECT_EQ(flow->keyboardNetworkIndex(), -1);
    ASSERT_TRUE(kivoMap.waitForEvents(2, 5000));
    EXPECT_EQ(kivoMap.events().at(1), "keyboard kind=3 one=1 type=0 title=Enter username");
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
}

// The large form has neither fields nor rows; its list's rows still lead
// where they would, and nothing it lacks is touched.
TEST_F(JoinViewTest, TheLargeFormWorksWithoutItsFields)
{
    WiFiJoinNetworkView view(QStringLiteral("800x480"), flow.get());
    EXPECT_EQ(child<QLabel>(&view, "lblTitleText")->text(), "Join Network");
    EXPECT_EQ(child<QPushButton>(&view, "JoinBtn")->text(), "Join");
    EXPECT_EQ(view.getRowCount(QModelIndex()), 0);
    view.setupView(QStringLiteral("HomeNet"), 1, -1);
    view.setupView(QStringLiteral("HomeNet"), 3, apIndex(QStringLiteral("HomeNet")));
    EXPECT_EQ(view.securityLabel(), "WPA2-PSK(AES)");
    view.setupView(QString(), 4, -1);
    EXPECT_EQ(view.securityLabel(), "WPA2-PSK(AES)"); // the choice the listed network set
    EXPECT_FALSE(child<QPushButton>(&view, "JoinBtn")->isEnabled());

    QStringListModel rows(QStringList { "name", "security", "user", "password" });
    view.ListItemSelected(rows.index(1, 0));
    EXPECT_EQ(flow->currentViewId(), SECURITY_VIEW_ID);
    view.ListItemSelected(rows.index(3, 0));
    EXPECT_EQ(flow->currentViewId(), KEYBOARD_VIEW_ID);
    EXPECT_EQ(view.inputType(), 2);
}

// Shots by day and by night: a listed secured network (name, label, hidden
// key, Join) and a new network (grey prompt, no key field, Join disabled).
TEST_F(JoinViewTest, ScreenLooksRightByDayAndNight)
{
    for (const char* mode : { "Day", "Night" }) {
        SCOPED_TRACE(mode);
        views_test::registerSkins(mode);
        SystemHelper::instance()->setDayNight(QLatin1String(mode));
        WiFiJoinNetworkView* view = chooseFromList(QStringLiteral("HomeNet"));
        view->setStyleSheets(QLatin1String(mode));
        QApplication::processEvents();
        const QImage filled = views_test::shot(*view, QStringLiteral("join_listed_%1").arg(mode));

        auto inside = [&](const QImage& image, const char* name, bool (*test)(QRgb)) {
            QWidget* w = child(view, name);
            const QRect r(w->mapTo(view, QPoint()), w->size());
            const QRect text = views_test::boundsOf(image, r.adjusted(1, 1, -1, -1), test);
            EXPECT_FALSE(text.isEmpty()) << name;
            return text;
        };
        EXPECT_EQ(child<QLabel>(view, "lblTitleText")->text(), "Add Network");
        inside(filled, "lblTitleText", views_test::isWhite);
        for (const char* label : { "Network", "Security", "Password", "SecurityType", "NameEdit", "PasswordEdit" })
            inside(filled, label, views_test::isDark);
        // The texts fit their widgets: nothing dark spills next to them.
        const QRect name = inside(filled, "NameEdit", views_test::isDark);
        EXPECT_GT(name.width(), 30);
        const QColor join = filled.pixel(child(view, "JoinBtn")->mapTo(view, QPoint(20, 20)));

        // A new network, with the longest security label.
        view = addNewNetwork();
        flow->setSecurityChoice(QStringLiteral("WPA2 PSK(TKIP)"));
        view->setupView(QString(), -1, -2);
        QApplication::processEvents();
        const QImage fresh = views_test::shot(*view, QStringLiteral("join_new_%1").arg(mode));
        auto isGrey = [](QRgb c) {
            return qAbs(qRed(c) - qGreen(c)) < 12 && qAbs(qGreen(c) - qBlue(c)) < 12 && qRed(c) > 90 && qRed(c) < 170;
        };
        inside(fresh, "NameEdit", isGrey);
        EXPECT_TRUE(views_test::boundsOf(fresh, QRect(15, 56, 210, 35), views_test::isDark).isEmpty());
        const QRect passwordArea(15, 196, 210, 57);
        EXPECT_TRUE(views_test::boundsOf(fresh, passwordArea, views_test::isDark).isEmpty());
        // The label's text ends before the selector's arrow.
        const QRect selector(child(view, "SecurityBtn")->mapTo(view, QPoint()), child(view, "SecurityBtn")->size());
        const QRect label = inside(fresh, "SecurityType", views_test::isDark);
        const QRect arrow = views_test::boundsOf(fresh, selector.adjusted(2, 2, -2, -2), views_test::isWhite);
        EXPECT_FALSE(arrow.isEmpty());
        EXPECT_LT(label.right(), arrow.left());
        // Join is drawn disabled: another colour than the enabled button.
        const QColor disabled = fresh.pixel(child(view, "JoinBtn")->mapTo(view, QPoint(20, 20)));
        EXPECT_NE(join, disabled);
        EXPECT_LT(disabled.saturation(), join.saturation());
    }
}

} // namespace
