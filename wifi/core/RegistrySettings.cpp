#include "wifi/core/RegistrySettings.h"

namespace {

std::string joinKey(const std::string& a, const std::string& b)
{
    if (a.empty())
        return b;
    if (b.empty())
        return a;
    return a + "\\" + b;
}

QString normalised(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.join(QLatin1Char('/'));
}

} // namespace

RegistrySettings::RegistrySettings(const QString& registryPath)
    : m_path(registryPath)
{
    auto split = ce::reg::splitPath(registryPath.toStdString());
    if (split) {
        m_valid = true;
        m_root = split->first;
        m_base = split->second;
    }
}

void RegistrySettings::beginGroup(const QString& prefix)
{
    QString p = normalised(prefix);
    if (!p.isEmpty())
        m_groups.append(p);
    else
        m_groups.append(QString());
}

void RegistrySettings::endGroup()
{
    if (!m_groups.isEmpty())
        m_groups.removeLast();
}

std::string RegistrySettings::groupKey(const QString& extra) const
{
    std::string key = m_base;
    for (const QString& g : m_groups)
        if (!g.isEmpty())
            key = joinKey(key, g.toStdString());
    QString e = normalised(extra);
    if (!e.isEmpty())
        key = joinKey(key, e.toStdString());
    for (char& c : key)
        if (c == '/')
            c = '\\';
    return key;
}

std::pair<std::string, std::string> RegistrySettings::split(const QString& key) const
{
    QString k = normalised(key);
    int slash = k.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return { groupKey(), k.toStdString() };
    return { groupKey(k.left(slash)), k.mid(slash + 1).toStdString() };
}

QVariant RegistrySettings::value(const QString& key, const QVariant& defaultValue) const
{
    if (!m_valid)
        return defaultValue;
    auto [k, name] = split(key);
    if (name.empty())
        return defaultValue;
    if (auto d = ce::reg::getDword(m_root, k, name))
        return QVariant(int(*d));
    if (auto s = ce::reg::getString(m_root, k, name))
        return QVariant(QString::fromStdString(*s));
    return defaultValue;
}

void RegistrySettings::setValue(const QString& key, const QVariant& value)
{
    if (!m_valid)
        return;
    auto [k, name] = split(key);
    if (name.empty())
        return;
    switch (value.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        ce::reg::setDword(m_root, k, name, value.toUInt());
        break;
    default:
        ce::reg::setString(m_root, k, name, value.toString().toStdString());
        break;
    }
}

bool RegistrySettings::contains(const QString& key) const
{
    if (!m_valid)
        return false;
    auto [k, name] = split(key);
    if (name.empty())
        return false;
    return ce::reg::getDword(m_root, k, name).has_value() || ce::reg::getString(m_root, k, name).has_value();
}

void RegistrySettings::remove(const QString& key)
{
    if (!m_valid)
        return;
    QString k = normalised(key);
    if (k.isEmpty()) {
        std::string group = groupKey();
        if (ce::reg::keyExists(m_root, group))
            ce::reg::clearKey(m_root, group);
        return;
    }
    auto [parent, name] = split(k);
    ce::reg::deleteValue(m_root, parent, name);
    std::string sub = groupKey(k);
    if (ce::reg::keyExists(m_root, sub))
        ce::reg::deleteKey(m_root, sub);
}

QStringList RegistrySettings::childKeys() const
{
    QStringList out;
    if (!m_valid)
        return out;
    for (const std::string& n : ce::reg::valueNames(m_root, groupKey()))
        out.append(QString::fromStdString(n));
    return out;
}

QStringList RegistrySettings::childGroups() const
{
    QStringList out;
    if (!m_valid)
        return out;
    for (const std::string& n : ce::reg::subKeys(m_root, groupKey()))
        out.append(QString::fromStdString(n));
    return out;
}
