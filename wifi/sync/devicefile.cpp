#include "wifi/sync/devicefile.h"

#include "platform/paths.h"

#include <QDir>
#include <QFileInfo>

namespace kivo::sync {

QString localPath(const QString& devicePath)
{
    if (devicePath.isEmpty())
        return QString();
    return QString::fromStdString(ce::resolvePath(devicePath.toStdString()));
}

bool makeDevicePath(const QString& devicePath)
{
    QString local = QString::fromStdString(ce::ensureDirectory(devicePath.toStdString()));
    return !local.isEmpty() && QFileInfo(local).isDir();
}

QString applicationDirectory()
{
    return QString::fromStdString(ce::programDirectory());
}

} // namespace kivo::sync
