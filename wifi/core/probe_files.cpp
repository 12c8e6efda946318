#include "wifi/core/probe_files.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kivowifi {

QString logLine(const QDateTime& when, const QString& text)
{
    return when.date().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" - ") + when.time().toString()
        + QStringLiteral(" - ") + text + QStringLiteral("\r\n");
}

bool appendLogLine(const QString& deviceFile, const QString& text, bool createFolder)
{
    std::string path = ce::resolvePath(deviceFile.toStdString(), createFolder);
    if (path.empty())
        return false;
    QFileInfo info(QString::fromStdString(path));
    if (!info.absoluteDir().exists())
        return false;
    if (info.exists() && info.size() > LOG_SIZE_LIMIT)
        QFile::remove(info.filePath());
    QFile file(info.filePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    QByteArray line = logLine(QDateTime::currentDateTime(), text).toUtf8();
    return file.write(line) == line.size();
}

int launchBrowserValueForProbe(int probeResult)
{
    if (probeResult == 0)
        return LAUNCH_BROWSER_PORTAL;
    return probeResult > 0 ? LAUNCH_BROWSER_INTERNET : LAUNCH_BROWSER_NO_INTERNET;
}

bool writeLaunchBrowser(int value)
{
    std::string path = ce::resolvePath(BROWSER_STATUS_FILE);
    if (path.empty())
        return false;
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write("LaunchBrowser=" + QByteArray::number(value));
    return file.commit();
}

QString launchBrowserFromText(const QByteArray& text)
{
    // The file is a single line; anything larger is not one we wrote.
    const QList<QByteArray> lines = text.left(4096).split('\n');
    bool general = true;
    for (const QByteArray& raw : lines) {
        QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            general = line == "[General]";
            continue;
        }
        int eq = line.indexOf('=');
        if (!general || eq < 0)
            continue;
        if (line.left(eq).trimmed() == "LaunchBrowser") {
            // The value ends at a NUL, and what is left of it is trimmed.
            QByteArray value = line.mid(eq + 1);
            int nul = value.indexOf('\0');
            if (nul >= 0)
                value.truncate(nul);
            return QString::fromUtf8(value.trimmed());
        }
    }
    return QString();
}

std::optional<QString> readLaunchBrowser()
{
    std::string path = ce::resolvePath(BROWSER_STATUS_PATH);
    if (path.empty())
        return std::nullopt;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return launchBrowserFromText(file.read(4096));
}

} // namespace kivowifi
