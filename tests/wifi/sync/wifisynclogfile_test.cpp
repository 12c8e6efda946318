#include "wifi/sync/wifisynclogfile.h"

#include "tests/support/temp_root.h"
#include "tests/wifi/sync/qt_app.h"

#include "platform/paths.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <filesystem>
#include <string>

namespace {

const char kLogDir[] = "/SystemDrive/Falmo/Program/WiFi/Log";
const char kLogFile[] = "/SystemDrive/Falmo/Program/WiFi/Log/WifiLog.txt";
const char kDebugSetting[] = "/SystemDrive/Falmo/program/wifi/DebugSetting.ini";

class WiFiSyncLogFileTest : public ::testing::Test {
protected:
    void SetUp() override { ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi"); }
    void TearDown() override { ce::setProgramDirectory("\\SystemDrive"); }

    bool exists(const std::string& devicePath) const { return std::filesystem::exists(ce::resolvePath(devicePath)); }

    kivo::test::TempDeviceRoot m_root;
};

struct SwitchCase {
    const char* debugSetting; // nullptr: no DebugSetting.ini
    bool betaserver;
    bool enabled;
};

TEST_F(WiFiSyncLogFileTest, SwitchTable)
{
    const SwitchCase cases[] = {
        { nullptr, false, false },
        { "", false, false },
        { "enablelog=true\r\n", false, true },
        { "  EnableLog  =  TRUE  \r\n", false, true },
        { "enablelog=True", false, true },
        { "enablelog=yes\n", false, false },
        { "enablelog=false\nenablelog=true\n", false, false },
        { "enablelog=true=1\n", false, false }, // three parts: skipped
        { "enablelog=true=1\nenablelog=true\n", false, true },
        { "other=1\nnoise\n\nenablelog=true\n", false, true },
        { "EnableLog=false\n", true, true }, // the marker wins
        { nullptr, true, true },
    };
    for (const SwitchCase& c : cases) {
        SCOPED_TRACE(std::string(c.debugSetting ? c.debugSetting : "<no file>") + (c.betaserver ? " +beta" : ""));
        std::filesystem::remove(ce::resolvePath(kDebugSetting));
        std::filesystem::remove(ce::resolvePath(std::string(kLogDir) + "/betaserver.ini"));
        if (c.debugSetting)
            m_root.writeFile(kDebugSetting, c.debugSetting);
        if (c.betaserver)
            m_root.writeFile(std::string(kLogDir) + "/betaserver.ini", "");
        WiFiSyncLogFile log("/SystemDrive");
        EXPECT_EQ(log.isEnabled(), c.enabled);
        EXPECT_EQ(log.readLogSetting(), c.enabled);
    }
}

TEST_F(WiFiSyncLogFileTest, LogFolderIsMadeEvenWhileOffAndNothingIsWritten)
{
    WiFiSyncLogFile log("/SystemDrive");
    EXPECT_TRUE(exists(kLogDir));
    std::filesystem::remove_all(ce::resolvePath("/SystemDrive/Falmo"));
    log.writeLog("hello");
    EXPECT_TRUE(exists(kLogDir));
    EXPECT_FALSE(exists(kLogFile));
}

TEST_F(WiFiSyncLogFileTest, LineFormatAndMessagesKeptAsGiven)
{
    // The marker lies in a folder spelled in another case: it is the same folder.
    m_root.writeFile("/SystemDrive/falmo/program/wifi/log/betaserver.ini", "");
    WiFiSyncLogFile log("/SystemDrive");
    ASSERT_TRUE(log.isEnabled());
    log.writeLog("start getTrackList");
    log.writeLog(QString::fromUtf8("two\nlines \xC3\xA9"));

    const std::string text = m_root.readFile(kLogFile);
    const QRegularExpression line(
        QRegularExpression::anchoredPattern("\\d{4}-\\d{2}-\\d{2} - \\d{2}:\\d{2}:\\d{2} - start getTrackList\r\n"
                                            "\\d{4}-\\d{2}-\\d{2} - \\d{2}:\\d{2}:\\d{2} - two\nlines \u00e9\r\n"));
    EXPECT_TRUE(line.match(QString::fromUtf8(text.c_str())).hasMatch()) << text;
}

TEST_F(WiFiSyncLogFileTest, FileAboveTwoMegabytesIsStartedAgain)
{
    m_root.writeFile(std::string(kLogDir) + "/betaserver.ini", "");
    WiFiSyncLogFile log("/SystemDrive");

    const std::string atLimit(WiFiSyncLogFile::kMaxLogBytes, 'x');
    m_root.writeFile(kLogFile, atLimit);
    log.writeLog("appended");
    std::string text = m_root.readFile(kLogFile);
    EXPECT_GT(text.size(), atLimit.size());
    EXPECT_EQ(text.compare(0, atLimit.size(), atLimit), 0);

    m_root.writeFile(kLogFile, atLimit + "y");
    log.writeLog("fresh");
    text = m_root.readFile(kLogFile);
    EXPECT_LT(text.size(), 100u);
    EXPECT_NE(text.find(" - fresh\r\n"), std::string::npos);
}

TEST_F(WiFiSyncLogFileTest, SwitchIsFixedWhenTheWriterIsMade)
{
    WiFiSyncLogFile off("/SystemDrive");
    m_root.writeFile(std::string(kLogDir) + "/betaserver.ini", "");
    off.writeLog("dropped");
    EXPECT_FALSE(exists(kLogFile));
    WiFiSyncLogFile on("/SystemDrive");
    on.writeLog("kept");
    EXPECT_TRUE(exists(kLogFile));
}

} // namespace
