// Settings on a registry path ("HKEY_CURRENT_USER\Comm",
// "HKEY_LOCAL_MACHINE\Software\Kivo\common") with the operations of Qt's
// settings class that the program uses there: groups, values, removal and
// listing. Keys are "sub\key/name": the part before the last separator is a
// sub-key of the group, the last part the value's name. Writes go straight to
// the registry layer, so there is nothing to sync.
#pragma once

#include "platform/registry.h"

#include <QString>
#include <QStringList>
#include <QVariant>

class RegistrySettings {
public:
    // A path outside HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE gives an
    // invalid object whose reads return defaults and whose writes do nothing.
    explicit RegistrySettings(const QString& registryPath);

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }

    void beginGroup(const QString& prefix);
    void endGroup();
    QString group() const { return m_groups.join(QLatin1Char('/')); }

    // A 32-bit value reads as int, a string value as QString; a missing value
    // gives defaultValue.
    QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const;
    // Integers and booleans are stored as 32-bit values, everything else as
    // its text.
    void setValue(const QString& key, const QVariant& value);
    bool contains(const QString& key) const;
    // Removes the value and the sub-key named key; an empty key removes every
    // value and sub-key of the current group.
    void remove(const QString& key);

    // Value names and sub-key names of the current group.
    QStringList childKeys() const;
    QStringList childGroups() const;

    void sync() { }

private:
    // The registry key for the current group plus the key's own folders, and
    // the value name (the last component of key).
    std::string groupKey(const QString& extra = QString()) const;
    std::pair<std::string, std::string> split(const QString& key) const;

    bool m_valid = false;
    ce::reg::Root m_root = ce::reg::Root::CurrentUser;
    std::string m_base;
    QString m_path;
    QStringList m_groups;
};
