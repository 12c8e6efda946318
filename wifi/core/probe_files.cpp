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

} // namespace kivowifi
