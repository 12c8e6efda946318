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
    // An empty prefix is kept too, so endGroup pairs with it.
    m_groups.append(normalised(prefix));
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
    int slash = k.lastIndexOf(QLatin1Char('/'));
    std::string parent = groupKey(slash < 0 ? QString() : k.left(slash));
    ce::reg::deleteValue(m_root, parent, k.mid(slash + 1).toStdString());
    std::string sub = groupKey(k);
    if (ce::reg::keyExists(m_root, sub))
        ce::reg::deleteKey(m_root, sub);
}
