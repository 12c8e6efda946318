// Settings on a registry path ("HKEY_CURRENT_USER\Comm") with the part of Qt's
// settings class the program uses there: groups and removal. Keys are
// "sub\key/name": the part before the last separator is a sub-key of the
// group, the last part a value's or sub-key's name. Changes go straight to
// the registry layer, so there is nothing to sync.
#pragma once

#include "platform/registry.h"

#include <QString>
#include <QStringList>

#include <string>

class RegistrySettings {
public:
    // A path outside HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE gives an
    // invalid object on which removal does nothing.
    explicit RegistrySettings(const QString& registryPath);

    bool isValid() const { return m_valid; }

    void beginGroup(const QString& prefix);
    void endGroup();

    // Removes the value and the sub-key named key; an empty key removes every
    // value and sub-key of the current group.
    void remove(const QString& key);

private:
    // The registry key for the current group plus extra's own folders.
    std::string groupKey(const QString& extra = QString()) const;

    bool m_valid = false;
    ce::reg::Root m_root = ce::reg::Root::CurrentUser;
    std::string m_base;
    QStringList m_groups;
};
