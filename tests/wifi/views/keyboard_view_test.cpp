// The keyboard screen on a real flow with the Lettrix plug-in, its keys
// tapped: prompts, the masked password, edits at the cursor, the hand-back
// to the add-network screen, and a look at it by day and by night.
#include "controls/core/LibraryInternal.h"
#include "controls/keyboard/zyrKBContainer.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"
#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "tests/wifi/core/wireless_test_support.h"
#include "tests/wifi/views/flow_screens_support.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/views/WiFiKeyBoardView.h"
#include "wifi/views/WiFiSecurityView.h"
#include "wifi/views/register_views.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using kivo::test::pumpUntil;

// Stands in for the add-network screen: hands the keyboard a text and an
// input type, as that screen does when a field is tapped.
struct JoinStandIn {
    static QString text;
    static int type;
    static FlowViewOps ops()
    {
        FlowViewOps o;
        o.create = [](KivoWiFiFlow* flow, const QString&) -> QWidget* { return new QWidget(flow); };
        o.text = [](QWidget*) { return text; };
        o.kind = [](QWidget*) { return type; };
        return o;
    }
};
QString JoinStandIn::text;
int JoinStandIn::type = 0;

class KeyboardViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        views_test::prepareFlowScreens();
        KivoWiFiFlow::setViewOps(JOIN_VIEW_ID, JoinStandIn::ops());
    }

    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        flow = views_test::showFlow();
    }

    void TearDown() override
    {
        views_test::endFlow(flow);
    }

    // The add-network screen, then the keyboard for its field.
    WiFiKeyBoardView* open(const QString& text, int type)
    {
        JoinStandIn::text = text;
        JoinStandIn::type = type;
        if (flow->currentViewId() != JOIN_VIEW_ID)
            flow->switchView(JOIN_VIEW_ID, 0);
        flow->switchView(KEYBOARD_VIEW_ID, 0);
        auto* kb = qobject_cast<WiFiKeyBoardView*>(flow->view(KEYBOARD_VIEW_ID));
        if (kb)
            edit = kb->findChild<QLineEdit*>("InputEdit");
        QApplication::processEvents();
        return kb;
    }

    zyrKeyButton* key(const char* name)
    {
        auto* container = flow->view(KEYBOARD_VIEW_ID)->findChild<zyrKBContainer*>("KeyboardContainer");
        return container->keyboard()->findChild<zyrKeyButton*>(name);
    }

    // Taps keys on the small letters' page.
    void type(std::initializer_list<const char*> names)
    {
        auto* container = flow->view(KEYBOARD_VIEW_ID)->findChild<zyrKBContainer*>("KeyboardContainer");
        container->keyboard()->setCurrentIndex(1);
        for (const char* name : names) {
            zyrKeyButton* k = key(name);
            ASSERT_TRUE(k && k->isVisible()) << name;
            QTest::mouseClick(k, Qt::LeftButton);
        }
    }

    bool escapeEnabled() { return key("btnBack")->isEnabled(); }

    kivo::test::TempDeviceRoot root;
    std::unique_ptr<KivoWiFiFlow> flow;
    QLineEdit* edit = nullptr;
};

TEST_F(KeyboardViewTest, PasswordShowsItsNewestCharacterAndGoesBackTyped)
{
    ZyrelleControls::Internal::SetTimeScale(0.01);
    WiFiKeyBoardView* kb = open(QString(), WiFiKeyBoardView::INPUT_PASSWORD);
    ASSERT_TRUE(kb);
    EXPECT_EQ(flow->currentViewId(), KEYBOARD_VIEW_ID);
    EXPECT_EQ(kb->findChild<QLabel*>("lblTitleText")->text(), "Add Network");
    EXPECT_EQ(edit->text(), "   Enter password");
    EXPECT_TRUE(edit->styleSheet().startsWith("color: gray;"));
    EXPECT_FALSE(escapeEnabled());
    QTest::mouseClick(key("btnBack"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), KEYBOARD_VIEW_ID) << "Escape is off while the prompt shows";

    type({ "a" });
    EXPECT_TRUE(escapeEnabled());
    EXPECT_TRUE(edit->styleSheet().startsWith("color: black;"));
    type({ "b" });
    EXPECT_EQ(edit->displayText(), "*b");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(WiFiKeyBoardViewTestAccess::remasking(*kb));
    EXPECT_EQ(WiFiKeyBoardViewTestAccess::remaskMs(*kb), 2000);
    // Two seconds (scaled) later the whole password is masked.
    ASSERT_TRUE(pumpUntil([&] { return edit->echoMode() == QLineEdit::Password; }));
    EXPECT_EQ(edit->displayText().size(), 2);
    EXPECT_FALSE(edit->displayText().contains('b'));

    QTest::mouseClick(key("btnBack"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(flow->keyboardResult(), "ab");
    EXPECT_EQ(flow->inputType(), WiFiKeyBoardView::INPUT_PASSWORD);
}

TEST_F(KeyboardViewTest, PasswordEditsHappenAtTheCursor)
{
    WiFiKeyBoardView* kb = open(QString(), WiFiKeyBoardView::INPUT_PASSWORD);
    ASSERT_TRUE(kb);
    type({ "a", "b", "c" });
    kb->translateControlKeys(Qt::Key_Left);
    type({ "Backspace" });
    EXPECT_EQ(kb->resultText(), "ac");
    EXPECT_EQ(edit->text().size(), 2);
    // Typing goes in at the cursor too, and the newest character shows there.
    type({ "x" });
    EXPECT_EQ(kb->resultText(), "axc");
    EXPECT_EQ(edit->displayText(), "*x*");
    kb->translateControlKeys(Qt::Key_Right);
    type({ "Backspace", "Backspace" });
    EXPECT_EQ(kb->resultText(), "a");
    // A prefilled password is edited the same way.
    kb = open(QStringLiteral("secret"), WiFiKeyBoardView::INPUT_PASSWORD);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    kb->translateControlKeys(Qt::Key_Left);
    kb->translateControlKeys(Qt::Key_Left);
    type({ "Backspace" });
    EXPECT_EQ(kb->resultText(), "secet");
}

TEST_F(KeyboardViewTest, NamePromptSpaceAndEscape)
{
    WiFiKeyBoardView* kb = open(QStringLiteral("Must Input"), WiFiKeyBoardView::INPUT_NAME);
    ASSERT_TRUE(kb);
    EXPECT_EQ(edit->text(), "   Enter network name");
    EXPECT_FALSE(escapeEnabled());
    EXPECT_EQ(kb->resultText(), "") << "a prompt is no name";
    // Backspace clears the prompt and lets Escape through again.
    type({ "Backspace" });
    EXPECT_EQ(edit->text(), "");
    EXPECT_TRUE(escapeEnabled());

    // The prompt came back and the user left with the hardware key: a
    // name to edit next time shows with Escape working.
    kb = open(QString(), WiFiKeyBoardView::INPUT_NAME);
    EXPECT_FALSE(escapeEnabled());
    flow->onBackBtnClick();
    kb = open(QStringLiteral("Cafe"), WiFiKeyBoardView::INPUT_NAME);
    EXPECT_EQ(edit->text(), "Cafe");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
    EXPECT_TRUE(escapeEnabled());

    type({ "Space", "g" });
    EXPECT_EQ(edit->text(), "Cafe g");
    QTest::mouseClick(key("btnBack"), Qt::LeftButton);
    EXPECT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(flow->keyboardResult(), "Cafe g");
    EXPECT_EQ(flow->inputType(), WiFiKeyBoardView::INPUT_NAME);
}

// The real add-network screen: a new network's name and password typed on
// the keyboard come back into its fields.
TEST_F(KeyboardViewTest, TypedNameAndPasswordReachTheAddNetworkScreen)
{
    kivowifi::registerViews();
    struct Restore {
        ~Restore() { KivoWiFiFlow::setViewOps(JOIN_VIEW_ID, JoinStandIn::ops()); }
    } restore;
    flow.reset(new KivoWiFiFlow);
    flow->setAttribute(Qt::WA_DeleteOnClose, false);
    flow->show();

    flow->switchView(MAIN_VIEW_ID, 0);
    QTest::mouseClick(flow->view(MAIN_VIEW_ID)->findChild<QPushButton*>("JoinBtn"), Qt::LeftButton);
    QWidget* join = flow->view(JOIN_VIEW_ID);
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);

    QTest::mousePress(join->findChild<QLineEdit*>("NameEdit"), Qt::LeftButton);
    ASSERT_EQ(flow->currentViewId(), KEYBOARD_VIEW_ID);
    auto* kb = qobject_cast<WiFiKeyBoardView*>(flow->view(KEYBOARD_VIEW_ID));
    ASSERT_TRUE(kb);
    edit = kb->findChild<QLineEdit*>("InputEdit");
    type({ "t", "r", "a", "i", "l" });
    QTest::mouseClick(key("btnBack"), Qt::LeftButton);
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(join->findChild<QLineEdit*>("NameEdit")->text(), "trail");

    // A secured type shows the password field.
    flow->switchView(SECURITY_VIEW_ID, 0);
    auto* security = qobject_cast<WiFiSecurityView*>(flow->view(SECURITY_VIEW_ID));
    ASSERT_TRUE(security);
    security->ListItemSelected(security->listBinding()->model()->index(5, 0));
    flow->onBackBtnClick();
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    QTest::mousePress(join->findChild<QLineEdit*>("PasswordEdit"), Qt::LeftButton);
    ASSERT_EQ(flow->currentViewId(), KEYBOARD_VIEW_ID);
    EXPECT_EQ(edit->text(), "   Enter password");
    type({ "a", "b" });
    QTest::mouseClick(key("btnBack"), Qt::LeftButton);
    ASSERT_EQ(flow->currentViewId(), JOIN_VIEW_ID);
    EXPECT_EQ(join->findChild<QLineEdit*>("PasswordEdit")->text(), "ab");
    EXPECT_EQ(join->findChild<QLineEdit*>("NameEdit")->text(), "trail");
}

TEST_F(KeyboardViewTest, LooksRightByDayAndNight)
{
    for (const char* mode : { "Day", "Night" }) {
        SCOPED_TRACE(mode);
        views_test::registerSkins(mode);
        SystemHelper::instance()->setDayNight(QLatin1String(mode));
        WiFiKeyBoardView* kb = open(QString(), WiFiKeyBoardView::INPUT_PASSWORD);
        ASSERT_TRUE(kb);
        kb->setStyleSheets(QLatin1String(mode));
        QImage shot = views_test::shot(*kb, QStringLiteral("keyboard_prompt_%1").arg(mode));
        const QRect editRect = edit->geometry();
        auto grey = [](QRgb c) {
            return qAbs(qRed(c) - qGreen(c)) < 12 && qAbs(qGreen(c) - qBlue(c)) < 12 && qRed(c) > 90 && qRed(c) < 180;
        };
        const QRect prompt = views_test::boundsOf(shot, editRect, grey);
        EXPECT_FALSE(prompt.isEmpty());
        EXPECT_TRUE(editRect.contains(prompt));
        const QRect titleRect = kb->findChild<QLabel*>("lblTitleText")->geometry();
        const QRect title = views_test::boundsOf(shot, titleRect, views_test::isWhite);
        EXPECT_FALSE(title.isEmpty());
        EXPECT_TRUE(titleRect.contains(title));
        // The keyboard fills the lower part with its keys.
        auto* container = kb->findChild<zyrKBContainer*>("KeyboardContainer");
        EXPECT_EQ(container->geometry(), QRect(0, 80, 241, 320));
        container->keyboard()->setCurrentIndex(0);
        shot = views_test::shot(*kb, QStringLiteral("keyboard_prompt_%1").arg(mode));
        zyrKeyButton* a = key("A");
        ASSERT_TRUE(a && a->isVisible());
        const QRect keyRect(a->mapTo(kb, QPoint()), a->size());
        EXPECT_TRUE(QRect(0, 80, 241, 320).contains(keyRect));

        type({ "w", "i" });
        shot = views_test::shot(*kb, QStringLiteral("keyboard_typed_%1").arg(mode));
        const QRect typed = views_test::boundsOf(shot, editRect, views_test::isDark);
        EXPECT_GT(typed.width(), 12);
        EXPECT_TRUE(editRect.contains(typed));
        flow->onBackBtnClick();
    }
}

} // namespace
