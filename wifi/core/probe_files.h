// Small file services shared by the portal probe and the flow's saved
// networks: KivoWiFi's log lines and the "LaunchBrowser" verdict file.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace kivowifi {

// Where KivoWiFi keeps its logs, and the size above which a log starts over.
constexpr const char* LOG_FOLDER = "/SystemDrive/Falmo/program/wifi/Log";
constexpr qint64 LOG_SIZE_LIMIT = 0x200000;

// The verdict file, by its bare name (the program's own directory) for
// writing and by its absolute path for reading.
constexpr const char* BROWSER_STATUS_FILE = "CheckBrowserStatus.ini";
constexpr const char* BROWSER_STATUS_PATH = "\\SystemDrive\\Falmo\\program\\wifi\\CheckBrowserStatus.ini";

// "LaunchBrowser" values.
enum LaunchBrowserValue {
    LAUNCH_BROWSER_PORTAL = 0, // a captive portal answered: a browser login is needed
    LAUNCH_BROWSER_INTERNET = 1,
    LAUNCH_BROWSER_NO_INTERNET = 2,
    LAUNCH_BROWSER_NO_RESULT = 999,
};

// One log line: "yyyy-MM-dd - <time> - text" ended by CR LF.
QString logLine(const QDateTime& when, const QString& text);

// Appends one line to the log file at a device path. A file above the size
// limit is deleted first. With createFolder the file's folder is made when
// missing; otherwise (or when that fails) nothing is written. False when
// nothing was written.
bool appendLogLine(const QString& deviceFile, const QString& text, bool createFolder);

// The verdict a probe result stands for: 0 portal, 1 internet (any positive
// result), 2 no internet (any negative result).
int launchBrowserValueForProbe(int probeResult);

// Replaces CheckBrowserStatus.ini (in the program's directory) by the single
// line "LaunchBrowser=<value>", without section or line end. The file is
// replaced whole at once, so a reader sees the old verdict or the new one.
// False when it cannot be written (the write is then skipped).
bool writeLaunchBrowser(int value);

// The "LaunchBrowser" value of the verdict file's text, read as an ini file:
// the key outside any section (or in [General]), its value trimmed. Empty
// when there is none (an empty or half-written file).
QString launchBrowserFromText(const QByteArray& text);
// Reads the verdict file at its absolute path; an empty text when the file
// is missing or holds no value, nothing when the path cannot be resolved.
std::optional<QString> readLaunchBrowser();

} // namespace kivowifi
