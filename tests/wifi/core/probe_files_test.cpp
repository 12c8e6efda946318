#include "platform/paths.h"
#include "tests/support/temp_root.h"
#include "wifi/core/probe_files.h"

#include <QFile>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace kivowifi;

TEST(ProbeFiles, LogLineFormat)
{
    QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 2));
    EXPECT_EQ(logLine(when, QStringLiteral("[In X - y()] hello")),
        QStringLiteral("2024-03-09 - 07:05:02 - [In X - y()] hello\r\n"));
}

TEST(ProbeFiles, AppendLogLineFolderAndSizeLimit)
{
    kivo::test::TempDeviceRoot root;
    const QString file = QStringLiteral("/SystemDrive/Falmo/program/wifi/Log/Test.txt");
    // Without its folder nothing is written unless asked to create it.
    EXPECT_FALSE(appendLogLine(file, QStringLiteral("a"), false));
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/SystemDrive"));
    EXPECT_TRUE(appendLogLine(file, QStringLiteral("a"), true));
    EXPECT_TRUE(appendLogLine(file, QStringLiteral("b é"), false));
    std::string text = root.readFile(file.toStdString());
    EXPECT_NE(text.find(" - a\r\n"), std::string::npos);
    EXPECT_NE(text.find(" - b \xC3\xA9\r\n"), std::string::npos);

    // Above 2 MB the file starts over.
    std::string big(LOG_SIZE_LIMIT + 1, 'x');
    root.writeFile(file.toStdString(), big);
    EXPECT_TRUE(appendLogLine(file, QStringLiteral("fresh"), false));
    text = root.readFile(file.toStdString());
    EXPECT_LT(text.size(), 100u);
    EXPECT_NE(text.find(" - fresh\r\n"), std::string::npos);
    // Exactly at the limit it is kept.
    root.writeFile(file.toStdString(), std::string(LOG_SIZE_LIMIT, 'x'));
    EXPECT_TRUE(appendLogLine(file, QStringLiteral("kept"), false));
    EXPECT_GT(root.readFile(file.toStdString()).size(), size_t(LOG_SIZE_LIMIT));
}

TEST(ProbeFiles, VerdictForProbeResults)
{
    struct {
        int result, value;
    } cases[] = { { 204, 1 }, { 200, 1 }, { 1, 1 }, { 0, 0 }, { -1, 2 }, { -3, 2 } };
    for (auto c : cases)
        EXPECT_EQ(launchBrowserValueForProbe(c.result), c.value) << c.result;
}

TEST(ProbeFiles, WriteLaunchBrowserReplacesTheFileInTheProgramDirectory)
{
    kivo::test::TempDeviceRoot root;
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");
    // Without the program directory the write is skipped.
    EXPECT_FALSE(writeLaunchBrowser(LAUNCH_BROWSER_NO_RESULT));
    ce::ensureDirectory("\\SystemDrive\\Falmo\\program\\wifi");
    root.writeFile(BROWSER_STATUS_PATH, "[General]\nLaunchBrowser=0\nsomething else\n");
    EXPECT_TRUE(writeLaunchBrowser(LAUNCH_BROWSER_NO_RESULT));
    EXPECT_EQ(root.readFile(BROWSER_STATUS_PATH), "LaunchBrowser=999");
    EXPECT_TRUE(writeLaunchBrowser(LAUNCH_BROWSER_INTERNET));
    EXPECT_EQ(root.readFile(BROWSER_STATUS_PATH), "LaunchBrowser=1");
}

TEST(ProbeFiles, ReadingTheVerdict)
{
    struct {
        const char* text;
        const char* value;
    } cases[] = {
        { "LaunchBrowser=0", "0" },
        { "LaunchBrowser=999", "999" },
        { "  LaunchBrowser = 1 \r\n", "1" },
        { "[General]\nLaunchBrowser=2\n", "2" },
        { "[Other]\nLaunchBrowser=2\n", "" },
        { "", "" },
        { "LaunchBrow", "" },
        { "; note\nOther=1\nLaunchBrowser=\n", "" },
        { "\xff\xfe\x00garbage", "" },
    };
    for (auto c : cases)
        EXPECT_EQ(launchBrowserFromText(QByteArray(c.text)), QString::fromLatin1(c.value)) << c.text;
    // A NUL ends the value; the blanks before it are trimmed all the same.
    const char nulAfterBlank[] = "LaunchBrowser=0 \0";
    const char nulInLine[] = "LaunchBrowser= 1\t\0junk\n";
    EXPECT_EQ(launchBrowserFromText(QByteArray(nulAfterBlank, sizeof nulAfterBlank - 1)), QStringLiteral("0"));
    EXPECT_EQ(launchBrowserFromText(QByteArray(nulInLine, sizeof nulInLine - 1)), QStringLiteral("1"));

    kivo::test::TempDeviceRoot root;
    EXPECT_EQ(readLaunchBrowser(), QString());
    root.writeFile(BROWSER_STATUS_PATH, "LaunchBrowser=0");
    EXPECT_EQ(readLaunchBrowser(), QStringLiteral("0"));
    // Written by the probe through the program directory, read by the path.
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\Program\\WiFi");
    ASSERT_TRUE(writeLaunchBrowser(LAUNCH_BROWSER_INTERNET));
    EXPECT_EQ(readLaunchBrowser(), QStringLiteral("1"));
}
