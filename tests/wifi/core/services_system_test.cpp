#include "wifi/core/IPCHelper.h"
#include "wifi/core/SystemHelper.h"

#include "controls/core/SoundHook.h"
#include "controls/core/ZyrelleControls.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/temp_root.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const char* const kProgramPath = "\\SystemDrive\\Falmo\\program\\wifi\\KivoWiFi.exe";
const char* const kCommonKey = "Software\\Kivo\\common";

// A helper of its own per test; the program's one helper is never freed.
class FreshSystemHelper : public SystemHelper {
public:
    FreshSystemHelper() = default;
    ~FreshSystemHelper() override = default;
};

QString titleOf(const KeyboardRequestRecord& record)
{
    return QString::fromUtf16(record.title);
}

class SystemHelperTest : public ::testing::Test {
protected:
    void SetUp() override { SystemHelper::setRunningProgramPathForTesting(kProgramPath); }
    void TearDown() override
    {
        SystemHelper::setRunningProgramPathForTesting(QString());
        ZyrelleControls::SetSoundManager(nullptr);
    }

    // Copies the program's built files (resources, sound, English .qm).
    void installProgramFiles()
    {
        const fs::path wifi = ce::ensureDirectory("\\SystemDrive\\Falmo\\program\\wifi");
        fs::copy(fs::path(KIVO_TEST_DEVICE_TEMPLATE) / "SystemDrive/Falmo/program/wifi", wifi,
            fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }

    void installNorwegian()
    {
        const std::string target
            = ce::resolvePath("\\SystemDrive\\Falmo\\program\\wifi\\Language\\KivoWiFi_nb-NO.qm", true);
        fs::copy_file(KIVO_TEST_NB_NO_QM, target, fs::copy_options::overwrite_existing);
    }

    void removeResource(const char* name)
    {
        fs::remove(ce::resolvePath(std::string("\\SystemDrive\\Falmo\\program\\wifi\\Resources\\480x272\\") + name));
    }

    kivo::test::TempDeviceRoot m_root;
};

QRgb pageColour()
{
    QImage image(":/Background/main_bg.png");
    return image.isNull() ? 0 : image.pixel(5, 5);
}

TEST(SystemHelperTables, LanguageCodesFromTheRegistryValue)
{
    const std::pair<const char*, const char*> table[] = {
        { "bul", "bg-BG" },
        { "cat", "ca-ES" },
        { "hrv", "hr-HR" },
        { "cze", "cs-CZ" },
        { "dan", "da-DK" },
        { "dut", "nl-NL" },
        { "est", "et-EE" },
        { "fin", "fi-FI" },
        { "fre", "fr-FR" },
        { "ger", "de-DE" },
        { "gre", "el-GR" },
        { "hun", "hu-HU" },
        { "ita", "it-IT" },
        { "lav", "lv-LV" },
        { "lit", "lt-LT" },
        { "nor", "nb-NO" },
        { "pol", "pl-PL" },
        { "por", "pt-PT" },
        { "rum", "ro-RO" },
        { "rus", "ru-RU" },
        { "srp", "sr-Latn-CS" },
        { "slo", "sk-SK" },
        { "slv", "sl-SI" },
        { "spa", "es-ES" },
        { "swe", "sv-SE" },
        { "tur", "tr-TR" },
        { "eng", "en-US" },
        { "", "en-US" },
        { "NOR", "en-US" },
        { "xyz", "en-US" },
    };
    for (const auto& [value, code] : table) {
        EXPECT_EQ(SystemHelper::languageCodeFor(value), code) << value;
        const QString file = SystemHelper::translationFileFor(code);
        if (QString(code) == "en-US")
            EXPECT_TRUE(file.isEmpty());
        else
            EXPECT_EQ(file, QString("\\SystemDrive\\Falmo\\program\\wifi\\Language\\KivoWiFi_%1.qm").arg(code));
    }
    EXPECT_TRUE(SystemHelper::translationFileFor("xx-XX").isEmpty());
}

TEST(SystemHelperTables, ProgramDirectoryFromTheProgramPath)
{
    EXPECT_EQ(SystemHelper::directoryFromProgramPath(kProgramPath), "\\SystemDrive\\Falmo\\program\\wifi");
    EXPECT_EQ(SystemHelper::directoryFromProgramPath("\\KivoWiFi.exe"), "");
    EXPECT_EQ(SystemHelper::directoryFromProgramPath("\\SystemDrive\\Other.exe"), "");
    EXPECT_EQ(SystemHelper::directoryFromProgramPath("\\SystemDrive\\kivowifi.exe"), "");
    EXPECT_EQ(SystemHelper::directoryFromProgramPath(""), "");
    // Only the first 260 characters of the program path are seen.
    const QString deep = "\\" + QString(250, 'a');
    EXPECT_EQ(SystemHelper::directoryFromProgramPath(deep + "\\KivoWiFi.exe"), "");
    EXPECT_EQ(SystemHelper::directoryFromProgramPath(QString(246, 'b') + "\\KivoWiFi.exe"), QString(246, 'b'));

    // By default the running program's own name in the program directory.
    SystemHelper::setRunningProgramPathForTesting(QString());
    EXPECT_TRUE(SystemHelper::runningProgramPath().endsWith("\\wifi_services_system_test.exe"))
        << SystemHelper::runningProgramPath().toStdString();
}

TEST_F(SystemHelperTest, InitLoadsModeLanguageSoundAndRegistersTheSoundManager)
{
    installProgramFiles();
    installNorwegian();
    ce::reg::setString(ce::reg::Root::LocalMachine, kCommonKey, "Language", "nor");

    FreshSystemHelper helper;
    EXPECT_EQ(helper.dayNightMode(), "Day");
    EXPECT_EQ(helper.init(), 0);

    EXPECT_EQ(helper.programDirectory(), "\\SystemDrive\\Falmo\\program\\wifi");
    EXPECT_EQ(helper.resolution(), "480x272");
    EXPECT_EQ(helper.dayNightMode(), "Day");
    EXPECT_EQ(helper.language(), "nb-NO");
    EXPECT_EQ(helper.clickSoundPath(), "\\SystemDrive\\Falmo\\program\\wifi/Sounds/stdbuttondown.wav");
    EXPECT_TRUE(helper.modeResourcePath().endsWith("Resources/480x272/KivoWiFiResDay.bin"));
    EXPECT_TRUE(helper.commonResourcePath().endsWith("Resources/480x272/KivoWiFiResCommon.bin"));
    EXPECT_EQ(ZyrelleControls::GetSoundManager(), &helper);
    // The library's widgets find the helper's slot by the signature they use.
    QObject clicker;
    EXPECT_TRUE(ZyrelleControls::ConnectSoundSignal(&clicker, SIGNAL(objectNameChanged(QString))));

    // The Norwegian translation is installed: the keyboard title follows it.
    EXPECT_EQ(titleOf(IPCHelper::makeKeyboardRequest(true, QString())), "Skriv inn passord");

    // Clicks play (or, without audio output, are silently dropped).
    helper.onPlayTapSound();
    helper.onPlayWidgetSound("AnyButton");
}

TEST_F(SystemHelperTest, InitKeepsAManagerAlreadyRegistered)
{
    QObject other;
    ZyrelleControls::SetSoundManager(&other);
    FreshSystemHelper helper;
    EXPECT_EQ(helper.init(), 0);
    EXPECT_EQ(ZyrelleControls::GetSoundManager(), &other);
}

TEST_F(SystemHelperTest, DayNightFromTheRegistry)
{
    FreshSystemHelper helper;
    EXPECT_EQ(helper.readDayNight(), "Day");
    ce::reg::setDword(ce::reg::Root::LocalMachine, kCommonKey, "Day Night settings", 1);
    EXPECT_EQ(helper.readDayNight(), "Night");
    ce::reg::setDword(ce::reg::Root::LocalMachine, kCommonKey, "Day Night settings", 0);
    EXPECT_EQ(helper.readDayNight(), "Day");
    ce::reg::setDword(ce::reg::Root::LocalMachine, kCommonKey, "Day Night settings", 2);
    EXPECT_EQ(helper.readDayNight(), "Day");
    ce::reg::setString(ce::reg::Root::LocalMachine, kCommonKey, "Day Night settings", "1");
    EXPECT_EQ(helper.readDayNight(), "Night");
}

TEST_F(SystemHelperTest, NightSettingRegistersTheNightFileAndSwitchingReloads)
{
    installProgramFiles();
    ce::reg::setDword(ce::reg::Root::LocalMachine, kCommonKey, "Day Night settings", 1);

    FreshSystemHelper helper;
    ASSERT_EQ(helper.init(), 0);
    EXPECT_EQ(helper.dayNightMode(), "Night");
    EXPECT_TRUE(helper.modeResourcePath().endsWith("KivoWiFiResNight.bin"));
    const QRgb night = pageColour();
    ASSERT_NE(night, 0u);
    EXPECT_FALSE(QPixmap(":/Button/b_v.png").isNull()); // from the common file

    EXPECT_EQ(helper.setDayNight("Night"), 1);
    EXPECT_EQ(helper.setDayNight("Day"), 0);
    EXPECT_TRUE(helper.modeResourcePath().endsWith("KivoWiFiResDay.bin"));
    const QRgb day = pageColour();
    EXPECT_NE(day, 0u);
    EXPECT_NE(day, night);
    EXPECT_FALSE(QPixmap(":/Button/b_v.png").isNull());

    EXPECT_EQ(helper.setDayNight("Night"), 0);
    EXPECT_EQ(pageColour(), night);
}

TEST_F(SystemHelperTest, MissingResourceFilesGiveFourAndALaterSwitchStillLoads)
{
    installProgramFiles();
    removeResource("KivoWiFiResNight.bin");

    FreshSystemHelper helper;
    ASSERT_EQ(helper.init(), 0);
    ASSERT_EQ(helper.loadResources(), 0); // day again over day: release and register

    EXPECT_EQ(helper.setDayNight("Night"), 4);
    EXPECT_TRUE(helper.modeResourcePath().isEmpty());
    EXPECT_TRUE(QImage(":/Background/main_bg.png").isNull());

    // Nothing is left to release: the day file loads again.
    EXPECT_EQ(helper.setDayNight("Day"), 0);
    EXPECT_FALSE(QImage(":/Background/main_bg.png").isNull());
}

TEST_F(SystemHelperTest, MissingCommonFileGivesFour)
{
    installProgramFiles();
    removeResource("KivoWiFiResCommon.bin");

    FreshSystemHelper helper;
    EXPECT_EQ(helper.init(), 0); // the program goes on without its skin
    EXPECT_TRUE(helper.commonResourcePath().isEmpty());
    EXPECT_EQ(helper.loadResources(), 4);
    EXPECT_EQ(helper.setDayNight("Night"), 4);
}

TEST_F(SystemHelperTest, WithoutTheProgramFileNameEverythingIsLookedForFromTheRoot)
{
    installProgramFiles();
    SystemHelper::setRunningProgramPathForTesting("\\SystemDrive\\Falmo\\program\\wifi\\Other.exe");
    FreshSystemHelper helper;
    EXPECT_EQ(helper.init(), 0);
    EXPECT_EQ(helper.programDirectory(), "");
    EXPECT_TRUE(helper.modeResourcePath().isEmpty());
    EXPECT_EQ(helper.clickSoundPath(), "/Sounds/stdbuttondown.wav");
    helper.onPlayTapSound(); // no such file: silent
}

TEST_F(SystemHelperTest, TranslationsByLanguageCode)
{
    installProgramFiles();
    installNorwegian();
    FreshSystemHelper helper;
    ASSERT_EQ(helper.init(), 0);
    EXPECT_EQ(helper.language(), "en-US"); // no registry value
    EXPECT_EQ(titleOf(IPCHelper::makeKeyboardRequest(false, QString())), "Enter password");

    EXPECT_EQ(helper.setLanguage("en-US"), 2);
    EXPECT_EQ(helper.setLanguage("nb-NO"), 0);
    EXPECT_EQ(titleOf(IPCHelper::makeKeyboardRequest(false, QString())), "Skriv inn passord");

    // No German file: 9, and the Norwegian translation is gone.
    EXPECT_EQ(helper.setLanguage("de-DE"), 9);
    EXPECT_EQ(helper.language(), "de-DE");
    EXPECT_EQ(titleOf(IPCHelper::makeKeyboardRequest(false, QString())), "Enter password");
    EXPECT_EQ(helper.setLanguage("de-DE"), 2);

    EXPECT_EQ(helper.loadTranslation("nb-NO"), 0);
    EXPECT_EQ(helper.loadTranslation("xx-YY"), 0); // unknown: none installed
    EXPECT_EQ(titleOf(IPCHelper::makeKeyboardRequest(false, QString())), "Enter password");
}

TEST_F(SystemHelperTest, BuiltSkinCarriesTheImagesTheScreensName)
{
    installProgramFiles();
    FreshSystemHelper helper;
    ASSERT_EQ(helper.init(), 0);
    // Each image at the size the forms place it at (small forms, and the
    // large forms' own images).
    const std::pair<const char*, QSize> images[] = {
        { ":/Background/main_bg.png", { 240, 400 } },
        { ":/Background/shadow_bg.mif", { 716, 418 } },
        { ":/Background/shadow_footer_bg.mif", { 716, 356 } },
        { ":/Common/Header/bkgd_status_bar.png", { 240, 27 } },
        { ":/Common/Header/header_settings_bg.mif", { 800, 62 } },
        { ":/Under/bkgd_title_bar_settings.png", { 240, 50 } },
        { ":/Dialog/dialogback_confirm.png", { 240, 400 } },
        { ":/Dialog/b_pop_yes.png", { 186, 45 } },
        { ":/Dialog/b_pop_yes_p.png", { 186, 45 } },
        { ":/Dialog/b_pop_no.png", { 186, 45 } },
        { ":/Dialog/b_pop_no_p.png", { 186, 45 } },
        { ":/Dialog/b_pop_yes_s.png", { 88, 72 } },
        { ":/Dialog/b_pop_no_s_p.png", { 88, 72 } },
        { ":/Button/b_v.png", { 156, 43 } },
        { ":/Button/b_v_d.png", { 156, 43 } },
        { ":/Button/b_v_s_p.png", { 76, 43 } },
        { ":/Button/button_list_up_d.png", { 76, 43 } },
        { ":/Button/button_list_down_p.png", { 76, 43 } },
        { ":/Button/backbutton.mif", { 72, 56 } },
        { ":/Button/scroll_up_button_bg.mif", { 84, 178 } },
        { ":/Button/scroll_long_down_button_bg_pressed.mif", { 84, 209 } },
        { ":/Button/scroll_long_up_button_bg.mif", { 84, 209 } },
        { ":/Join_network/b_security.png", { 210, 35 } },
        { ":/Join_network/bkgd_search_key.png", { 224, 35 } },
        { ":/Join_network/i_v.png", { 30, 30 } },
        { ":/FocusBackground/b_list_p.png", { 240, 47 } },
        { ":/FocusBackground/settings_focus_bg.png", { 716, 70 } },
        { ":/Icon/Check_icon.png", { 28, 28 } },
        { ":/Icon/i_connecting2.png", { 28, 28 } },
        { ":/Icon/i_list_wifilock_3.png", { 36, 30 } },
        { ":/Icon/i_list_wifiunlock.png", { 36, 30 } },
        { ":/Common/Icon/settings_subform_indicator_image.mif", { 40, 40 } },
        { ":/Loading_big/i_loading_9.png", { 76, 76 } },
        { ":/Loading_little/i_loading_8.png", { 30, 30 } },
    };
    for (const auto& [name, size] : images)
        EXPECT_EQ(QImage(name).size(), size) << name;
    // Plain buttons take their width from this one.
    EXPECT_FALSE(QImage(":/Button/b_normal.png").isNull());

    QFile wav(QString::fromStdString(ce::resolvePath(helper.clickSoundPath().toStdString())));
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    const QByteArray head = wav.read(12);
    EXPECT_TRUE(head.startsWith("RIFF") && head.endsWith("WAVE"));
}

// Contrast ratio of two colours by their relative luminance, as used to
// judge whether text on a background can be read.
double contrast(QColor a, QColor b)
{
    auto luminance = [](QColor c) {
        auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour of an image beside its left edge, halfway down (clear of glyphs).
QColor faceOf(const char* name)
{
    const QImage image(name);
    return image.isNull() ? QColor() : QColor(image.pixel(10, image.height() / 2));
}

TEST_F(SystemHelperTest, TextStaysLegibleOnTheSkinInBothModes)
{
    installProgramFiles();
    FreshSystemHelper helper;
    ASSERT_EQ(helper.init(), 0);
    const double legible = 4.5;
    for (const char* mode : { "Day", "Night" }) {
        helper.setDayNight(mode);
        ASSERT_EQ(helper.dayNightMode(), mode);
        // Labels the screens leave unstyled draw black text, on the pages,
        // the title bar and the buttons, in either mode.
        const char* const underBlack[] = {
            ":/Background/main_bg.png",
            ":/Common/Header/bkgd_status_bar.png",
            ":/Button/b_v.png",
            ":/Button/button_normal.png",
            ":/Button/button_normal_p.png",
            ":/Dialog/b_pop_yes.png",
            ":/Dialog/b_pop_no.png",
            ":/Join_network/b_security.png",
        };
        for (const char* name : underBlack)
            EXPECT_GE(contrast(Qt::black, faceOf(name)), legible) << mode << " " << name;
        // Dialog messages are white; row texts are black by day, white by night.
        EXPECT_GE(contrast(Qt::white, faceOf(":/Dialog/dialogback_confirm.png")), legible) << mode;
        const QColor rowText = QString(mode) == "Day" ? QColor(Qt::black) : QColor(Qt::white);
        for (const char* row : { ":/FocusBackground/b_list.png", ":/FocusBackground/b_list_p.png" })
            EXPECT_GE(contrast(rowText, faceOf(row)), legible) << mode << " " << row;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
