#include "bt/lang/config_file.h"

#include "platform/paths.h"

#include <QString>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace kivo::bt {

namespace {

std::string to8Bit(const std::u16string& text)
{
    return QString::fromStdU16String(text).toLatin1().toStdString();
}

std::u16string from8Bit(const std::string& text)
{
    return QString::fromLatin1(text.data(), int(text.size())).toStdU16String();
}

std::string trim(const std::string& s)
{
    size_t b = 0;
    while (b < s.size() && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    size_t e = s.size();
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return s.substr(b, e - b);
}

int copyOut(const std::u16string& text, char16_t* buffer, int size)
{
    if (size <= 0)
        return 0;
    const size_t n = std::min(text.size(), size_t(size - 1));
    text.copy(buffer, n);
    buffer[n] = 0;
    return int(n);
}

std::mutex g_instanceLock;
std::unique_ptr<CeConfigFileManager> g_instance;
bool g_instanceTried = false;

} // namespace

int IniTextToInt(const std::string& text)
{
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint32_t value = 0;
        for (size_t i = 2; i < text.size() && i < 10; ++i) {
            const char c = text[i];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                break;
            value = value << 4 | uint32_t(digit);
        }
        return int(value);
    }
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1;
    }
    value = negative ? -value : value;
    return int(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
}

CeConfigFileManager* CeConfigFileManager::Instance()
{
    std::lock_guard<std::mutex> lock(g_instanceLock);
    if (!g_instanceTried) {
        g_instanceTried = true;
        auto manager = std::make_unique<CeConfigFileManager>();
        std::string dir = ce::programDirectory();
        while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/'))
            dir.pop_back();
        if (manager->LoadFile(QString::fromStdString(dir + "\\config\\LANGUAGE.ini").toStdU16String()) == 0)
            g_instance = std::move(manager);
    }
    return g_instance.get();
}

void CeConfigFileManager::ResetInstance()
{
    std::lock_guard<std::mutex> lock(g_instanceLock);
    g_instance.reset();
    g_instanceTried = false;
}

int CeConfigFileManager::LoadFile(const std::u16string& path)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    m_sections.clear();
    m_byName.clear();
    m_path = path;
    const std::string file = ce::resolvePath(QString::fromStdU16String(path).toStdString());
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        // Made empty when missing; a folder that is not there fails.
        std::ofstream made(file, std::ios::binary | std::ios::app);
        if (!made)
            return -1;
        return 0;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Parse(text.str());
    return 0;
}

void CeConfigFileManager::Parse(const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    Section* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = &sectionNamed(trim(line.substr(1, line.size() - 2)));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || !current)
            continue;
        const std::string key = trim(line.substr(0, eq));
        if (key.empty())
            continue;
        current->keys.push_back({ key, trim(line.substr(eq + 1)) });
    }
}

const std::string* CeConfigFileManager::find(const std::string& section, const std::string& key) const
{
    const auto s = m_byName.find(section);
    if (s == m_byName.end())
        return nullptr;
    for (const Key& k : s->second->keys)
        if (k.key == key)
            return &k.value;
    return nullptr;
}

CeConfigFileManager::Section& CeConfigFileManager::sectionNamed(const std::string& name)
{
    Section*& s = m_byName[name];
    if (!s) {
        m_sections.push_back({ name, {} });
        s = &m_sections.back();
    }
    return *s;
}

int CeConfigFileManager::GetString(
    const std::u16string& section, const std::u16string& key, const char16_t* def, char16_t* buffer, int size)
{
    if (!buffer)
        return -1;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (const std::string* value = find(to8Bit(section), to8Bit(key)))
        return copyOut(from8Bit(*value), buffer, size);
    if (!def)
        return -1;
    copyOut(def, buffer, size);
    return 0;
}

int CeConfigFileManager::GetInt(const std::u16string& section, const std::u16string& key, int def)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const std::string* value = find(to8Bit(section), to8Bit(key));
    return value ? IniTextToInt(*value) : def;
}

int CeConfigFileManager::SetValue(const std::u16string& section, const std::u16string& key, const std::u16string& value)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const std::string s8 = to8Bit(section);
    const std::string k8 = to8Bit(key);
    Section* target = &sectionNamed(s8);
    Key* found = nullptr;
    for (Key& k : target->keys)
        if (k.key == k8) {
            found = &k;
            break;
        }
    if (found)
        found->value = to8Bit(value);
    else
        target->keys.push_back({ k8, to8Bit(value) });
    return write();
}

std::string CeConfigFileManager::Serialise() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::string out;
    for (const Section& s : m_sections) {
        out += "[" + s.name + "]\r\n";
        for (const Key& k : s.keys)
            out += k.key + "=" + k.value + "\r\n";
        out += "\r\n";
    }
    return out;
}

int CeConfigFileManager::write()
{
    if (m_path.empty())
        return 0;
    // A write cut short must not leave the file truncated: the new text goes
    // to a file beside it, which then replaces it; what killed writes left
    // beside it goes at the same time.
    const std::string file = ce::resolvePath(QString::fromStdU16String(m_path).toStdString());
    const std::string text = Serialise();
    return ce::replaceFileWhole(file, text.data(), text.size()) == 0 ? 1 : 0;
}

} // namespace kivo::bt
