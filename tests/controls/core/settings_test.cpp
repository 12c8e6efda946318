#include "controls/core/LibraryInternal.h"
#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFont>
#include <QPaintEvent>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

using namespace ZyrelleControls;

// Records the names the library's widgets report.
class FakeSoundManager : public QObject {
    Q_OBJECT
public:
    QStringList played;
public slots:
    void onPlayWidgetSound(const QString& name) { played << name; }
};

class NoSlotManager : public QObject {
    Q_OBJECT
};

// A button following the sound hook in full, as the library's buttons do.
class HookedButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit HookedButton(const QString& name, QWidget* parent = nullptr)
        : QAbstractButton(parent)
    {
        setObjectName(name);
        connected = ConnectSoundHook(this);
    }
    bool connected = false;
signals:
    void clicked(const QString& strObjName);
public slots:
    void onClicked() { emit clicked(objectName()); }

protected:
    void paintEvent(QPaintEvent*) override { }
};

// A widget that is no button: it emits the named click from its own handling.
class HookedIcon : public QWidget {
    Q_OBJECT
public:
    explicit HookedIcon(const QString& name)
    {
        setObjectName(name);
        connected = ConnectSoundHook(this, SoundHookKind::ManagerOnly);
    }
    void press() { emit clicked(objectName()); }
    bool connected = false;
signals:
    void clicked(const QString& strObjName);
};

class KeyButton : public QWidget {
    Q_OBJECT
public:
    void press() { emit playSound(objectName()); }
signals:
    void playSound(const QString& name);
};

class SettingsTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        SetSoundManager(nullptr);
        SetKeypadNavigation(false);
        SetVerticalScrollBarStyleSheet(QString());
        SetHorizontalScrollBarStyleSheet(QString());
        SetProgressBarStyleSheet(QString());
        ControlsLanguage::Destroy();
    }
};

TEST_F(SettingsTest, DefaultsAndSettersRoundTrip)
{
    EXPECT_EQ(GetSoundManager(), nullptr);
    EXPECT_FALSE(IsKeypadNavigation());
    EXPECT_TRUE(Internal::VerticalScrollBarStyleSheet().isEmpty());
    EXPECT_TRUE(Internal::HorizontalScrollBarStyleSheet().isEmpty());
    EXPECT_TRUE(Internal::ProgressBarStyleSheet().isEmpty());

    FakeSoundManager manager;
    SetSoundManager(&manager);
    SetKeypadNavigation(true);
    SetVerticalScrollBarStyleSheet("QScrollBar:vertical{width: 6px;}");
    SetHorizontalScrollBarStyleSheet("QScrollBar:horizontal{height: 6px;}");
    SetProgressBarStyleSheet("QProgressBar{border: none;}");

    EXPECT_EQ(GetSoundManager(), &manager);
    EXPECT_TRUE(IsKeypadNavigation());
    EXPECT_EQ(Internal::VerticalScrollBarStyleSheet(), "QScrollBar:vertical{width: 6px;}");
    EXPECT_EQ(Internal::HorizontalScrollBarStyleSheet(), "QScrollBar:horizontal{height: 6px;}");
    EXPECT_EQ(Internal::ProgressBarStyleSheet(), "QProgressBar{border: none;}");

    SetSoundManager(nullptr);
    EXPECT_EQ(GetSoundManager(), nullptr);
}

TEST_F(SettingsTest, LibraryStrings)
{
    EXPECT_EQ(Internal::LayoutNameSuffix(), "Container");
    EXPECT_EQ(Internal::StripCompassZoomLabels(), QStringList({ "0.5x", "1x", "2x", "4x" }));
}

TEST_F(SettingsTest, ControlsLanguageIsEnglishUntilSetAndAfterDestroy)
{
    ControlsLanguage* language = ControlsLanguage::Instance();
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(ControlsLanguage::_self, language);
    EXPECT_EQ(int(language->GetCurrentLanguage()), 31);
    EXPECT_EQ(ControlsLanguage::Instance(), language);

    language->SetCurrentLanguage(QLocale::Japanese);
    EXPECT_EQ(ControlsLanguage::Instance()->GetCurrentLanguage(), QLocale::Japanese);

    ControlsLanguage::Destroy();
    EXPECT_EQ(ControlsLanguage::_self, nullptr);
    ControlsLanguage::Destroy(); // a second Destroy is harmless
    EXPECT_EQ(int(ControlsLanguage::Instance()->GetCurrentLanguage()), 31);
}

TEST_F(SettingsTest, FontRuleDropsBoldOnlyForChineseJapaneseKorean)
{
    struct Case {
        int language;
        bool bold;
    };
    const Case cases[] = { { 25, false }, { 59, false }, { 66, false }, { 31, true }, { 42, true } };
    QFont bold("Arial", 14);
    bold.setBold(true);
    for (const Case& c : cases) {
        ControlsLanguage::Instance()->SetCurrentLanguage(QLocale::Language(c.language));
        QFont result = Internal::FontForControlsLanguage(bold);
        EXPECT_EQ(result.bold(), c.bold) << "language " << c.language;
        EXPECT_EQ(result.pointSize(), 14);
    }
}

TEST_F(SettingsTest, WidgetBuiltBeforeTheManagerStaysSilent)
{
    HookedButton before("before");
    FakeSoundManager manager;
    SetSoundManager(&manager);
    HookedButton after("after");

    EXPECT_FALSE(before.connected);
    EXPECT_TRUE(after.connected);

    QStringList named;
    QObject::connect(&before, qOverload<const QString&>(&HookedButton::clicked), [&](const QString& n) { named << n; });

    before.click();
    after.click();
    after.click();
    EXPECT_EQ(manager.played, QStringList({ "after", "after" }));
    // Without the hook the button's own clicked() never reaches onClicked().
    EXPECT_TRUE(named.isEmpty());
}

TEST_F(SettingsTest, ClearingTheManagerKeepsExistingConnections)
{
    FakeSoundManager manager;
    SetSoundManager(&manager);
    HookedButton button("ok");
    SetSoundManager(nullptr);
    HookedButton later("later");

    button.click();
    later.click();
    EXPECT_EQ(manager.played, QStringList({ "ok" }));
}

TEST_F(SettingsTest, ADestroyedManagerIsNoLongerHandedOut)
{
    auto* manager = new FakeSoundManager;
    SetSoundManager(manager);
    HookedButton connected("connected");
    delete manager;

    EXPECT_EQ(GetSoundManager(), nullptr);
    HookedButton later("later");
    EXPECT_FALSE(later.connected);
    connected.click(); // its connection went with the manager
    later.click();
}

TEST_F(SettingsTest, NonButtonWidgetsAndOwnSoundSignals)
{
    FakeSoundManager manager;
    SetSoundManager(&manager);

    HookedIcon icon("icon");
    EXPECT_TRUE(icon.connected);
    icon.press();

    KeyButton key;
    key.setObjectName("key_a");
    EXPECT_TRUE(ConnectSoundSignal(&key, SIGNAL(playSound(const QString&))));
    key.press();
    EXPECT_EQ(manager.played, QStringList({ "icon", "key_a" }));

    // A widget whose click sound is switched off drops its connection.
    EXPECT_TRUE(DisconnectSoundHook(&icon));
    EXPECT_FALSE(DisconnectSoundHook(&icon));
    icon.press();
    EXPECT_EQ(manager.played.size(), 2);
}

TEST_F(SettingsTest, HookRefusesWhatCannotBeConnected)
{
    NoSlotManager noSlot;
    SetSoundManager(&noSlot);
    HookedButton button("b");
    EXPECT_FALSE(button.connected);
    button.click(); // nothing to reach, nothing breaks

    FakeSoundManager manager;
    SetSoundManager(&manager);
    QWidget plain; // no clicked signals at all
    EXPECT_FALSE(ConnectSoundHook(&plain));
    EXPECT_FALSE(ConnectSoundHook(&plain, SoundHookKind::ManagerOnly));
    EXPECT_FALSE(ConnectSoundHook(nullptr));
    EXPECT_FALSE(ConnectSoundSignal(&plain, SIGNAL(playSound(const QString&))));
    EXPECT_TRUE(manager.played.isEmpty());
}

TEST(TimeControl, ScaleShortensDurationsButNeverToZero)
{
    struct Case {
        double scale;
        int ms;
        int expected;
    };
    const Case cases[] = {
        { 1.0, 200, 200 }, { 0.01, 200, 2 }, { 0.01, 20, 1 }, { 0.5, 3, 2 },
        { 0.01, 0, 0 }, { 0.01, -1, -1 }, { 4.0, 150, 600 },
    };
    for (const Case& c : cases) {
        Internal::SetTimeScale(c.scale);
        EXPECT_EQ(Internal::ScaledDuration(c.ms), c.expected) << c.scale << " x " << c.ms;
    }
    Internal::SetTimeScale(0.25);
    for (double bad : { 0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity() })
        Internal::SetTimeScale(bad);
    EXPECT_EQ(Internal::TimeScale(), 0.25);
    Internal::SetTimeScale(1.0);
}

TEST(TimeControl, ClockCanBeReplacedAndRestored)
{
    qint64 before = Internal::NowMs();
    qint64 fake = 1000;
    Internal::SetClock([&fake] { return fake; });
    EXPECT_EQ(Internal::NowMs(), 1000);
    fake += 101;
    EXPECT_EQ(Internal::NowMs(), 1101);
    Internal::SetClock({});
    EXPECT_GE(Internal::NowMs(), before);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "settings_test.moc"
