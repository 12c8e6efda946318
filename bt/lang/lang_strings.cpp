#include "bt/lang/lang_strings.h"

#include "bt/lang/config_file.h"

#include "platform/debug.h"
#include "platform/dialogs/services.h"
#include "platform/paths.h"

#include <QString>

#include <fstream>
#include <sstream>

namespace kivo::bt {

namespace {

struct LanguageKey {
    int langId;
    const char16_t* key;
};

const LanguageKey kKeys[] = {
    { 1025, u"ARA_LANG_FILE" }, { 4097, u"ARA_LANG_FILE" }, { 6145, u"ARA_LANG_FILE" }, { 7169, u"ARA_LANG_FILE" },
    { 8193, u"ARA_LANG_FILE" }, { 9217, u"ARA_LANG_FILE" }, { 10241, u"ARA_LANG_FILE" }, { 11265, u"ARA_LANG_FILE" },
    { 12289, u"ARA_LANG_FILE" }, { 13313, u"ARA_LANG_FILE" }, { 14337, u"ARA_LANG_FILE" }, { 16385, u"ARA_LANG_FILE" },
    { 2049, u"KURS_LANG_FILE" }, { 3073, u"KURS_LANG_FILE" }, { 5121, u"KURS_LANG_FILE" }, { 15361, u"KURS_LANG_FILE" },
    { 1026, u"BUL_LANG_FILE" }, { 1027, u"CAT_LANG_FILE" }, { 1028, u"CHT_LANG_FILE" }, { 1029, u"CZE_LANG_FILE" },
    { 1030, u"DAN_LANG_FILE" }, { 1031, u"GER_LANG_FILE" }, { 1032, u"GRE_LANG_FILE" }, { 1033, u"ENG_LANG_FILE" },
    { 2057, u"ENG_LANG_FILE" }, { 1034, u"SPA_LANG_FILE" }, { 3082, u"SPA_LANG_FILE" }, { 1035, u"FIN_LANG_FILE" },
    { 1036, u"FRE_LANG_FILE" }, { 1037, u"ISR_LANG_FILE" }, { 1038, u"HUN_LANG_FILE" }, { 1040, u"ITA_LANG_FILE" },
    { 1041, u"JAP_LANG_FILE" }, { 1042, u"KOR_LANG_FILE" }, { 1043, u"DUT_LANG_FILE" }, { 1044, u"NOR_LANG_FILE" },
    { 2068, u"NOR_LANG_FILE" }, { 1045, u"POL_LANG_FILE" }, { 1046, u"POR_LANG_FILE" }, { 2070, u"POR_LANG_FILE" },
    { 1048, u"ROM_LANG_FILE" }, { 1049, u"RUS_LANG_FILE" }, { 1050, u"CRO_LANG_FILE" }, { 1051, u"SVK_LANG_FILE" },
    { 1053, u"SWE_LANG_FILE" }, { 1055, u"TUR_LANG_FILE" }, { 1060, u"SVN_LANG_FILE" }, { 1061, u"EST_LANG_FILE" },
    { 1062, u"LAT_LANG_FILE" }, { 1063, u"LIT_LANG_FILE" }, { 1065, u"FAR_LANG_FILE" }, { 2052, u"CHS_LANG_FILE" },
    { 2067, u"FLE_LANG_FILE" }, { 2074, u"SER_LANG_FILE" },
};

const char16_t* keyOf(int langId)
{
    for (const LanguageKey& k : kKeys)
        if (k.langId == langId)
            return k.key;
    return nullptr;
}

bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t';
}

std::u16string trim(const std::u16string& s)
{
    size_t b = 0;
    while (b < s.size() && isSpace(s[b]))
        ++b;
    size_t e = s.size();
    while (e > b && (isSpace(s[e - 1]) || s[e - 1] == u'\r' || s[e - 1] == u'\n'))
        --e;
    return s.substr(b, e - b);
}

std::u16string unescape(const std::u16string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'\\' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        const char16_t next = s[i + 1];
        if (next == u'n')
            out += u'\n';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else if (next == u'0')
            break;
        else {
            out += s[i];
            continue;
        }
        ++i;
    }
    return out;
}

// The decimal number at the start of text; nullopt when it has no digit.
std::optional<int> decimal(const std::u16string& text)
{
    int64_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = std::min<int64_t>(INT32_MAX, value * 10 + (text[i] - u'0'));
    if (i == 0)
        return std::nullopt;
    return int(value);
}

std::vector<std::u16string> lines(const std::u16string& text)
{
    std::vector<std::u16string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos)
            end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// The two tokens of "a;b": each up to the next ";", CR or LF.
void split(const std::u16string& line, std::u16string* first, std::u16string* second)
{
    const size_t a = line.find_first_of(u";\r\n");
    *first = trim(line.substr(0, a));
    second->clear();
    if (a == std::u16string::npos || line[a] != u';')
        return;
    const size_t b = line.find_first_of(u";\r\n", a + 1);
    *second = trim(line.substr(a + 1, b == std::u16string::npos ? std::u16string::npos : b - a - 1));
}

std::optional<std::string> readWhole(const std::string& devicePath)
{
    std::ifstream in(ce::resolvePath(devicePath), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return s.str();
}

std::u16string iniString(CeConfigFileManager* ini, const char16_t* section, const char16_t* key)
{
    char16_t buffer[260] = {};
    if (!ini || ini->GetString(section, key, u"", buffer, 260) <= 0)
        return {};
    return buffer;
}

std::u16string captionFor(int langId)
{
    return QStringLiteral("Id:%1").arg(langId).toStdU16String();
}

} // namespace

CeLangStringFileResMgr::CeLangStringFileResMgr()
{
    ResetForTests();
}

CeLangStringFileResMgr& CeLangStringFileResMgr::Instance()
{
    static CeLangStringFileResMgr manager;
    return manager;
}

void CeLangStringFileResMgr::ResetForTests()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_records.clear();
        m_current = 0;
    }
    CeConfigFileManager* ini = CeConfigFileManager::Instance();
    const int def = ini ? ini->GetInt(u"DEFAULT", u"DEFAULT_LANGNAME", 0) : 0;
    if (def != 0)
        SetLanguage(def);
}

std::u16string CeLangStringFileResMgr::DecodeFile(const std::string& bytes)
{
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        text += char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8);
    return text;
}

std::vector<StringRecordNode> CeLangStringFileResMgr::ParseIdFile(const std::u16string& text)
{
    std::vector<StringRecordNode> out;
    for (const std::u16string& line : lines(text)) {
        std::u16string id, value;
        split(line, &id, &value);
        const std::optional<int> n = decimal(id);
        if (!n || value.empty())
            continue;
        std::u16string shown = unescape(value);
        if (shown.empty())
            continue;
        out.push_back({ -1, std::move(shown), *n });
    }
    return out;
}

std::vector<StringRecordNode> CeLangStringFileResMgr::ParseTextAndMapping(
    const std::u16string& text, const std::u16string& mapping)
{
    std::vector<StringRecordNode> records;
    int index = 0;
    for (const std::u16string& line : lines(text)) {
        const std::u16string t = trim(line);
        if (t.empty())
            continue;
        std::u16string shown = unescape(t);
        records.push_back({ ++index, std::move(shown), 0 });
    }
    for (const std::u16string& line : lines(mapping)) {
        std::u16string id, at;
        split(line, &id, &at);
        const std::optional<int> n = decimal(id);
        const std::optional<int> i = decimal(at);
        if (!n || !i || *i < 1 || *i > int(records.size()))
            continue;
        records[size_t(*i - 1)].id = *n;
    }
    std::vector<StringRecordNode> out;
    for (StringRecordNode& r : records)
        if (r.id != 0 && !r.text.empty())
            out.push_back(std::move(r));
    return out;
}

std::string CeLangStringFileResMgr::ResolveFilePath(const std::u16string& path)
{
    const std::string p = QString::fromStdU16String(path).toStdString();
    if (!p.empty() && p[0] == '\\')
        return p;
    std::string dir = ce::programDirectory();
    while (!dir.empty() && (dir.back() == '\\' || dir.back() == '/'))
        dir.pop_back();
    std::u16string joined = QString::fromStdString(dir + "\\" + p).toStdU16String();
    if (joined.size() > 259)
        joined.resize(259);
    return QString::fromStdU16String(joined).toStdString();
}

int CeLangStringFileResMgr::load(int langId)
{
    CeConfigFileManager* ini = CeConfigFileManager::Instance();
    const char16_t* key = keyOf(langId);
    if (!ini || !key)
        return 0;
    const int policy = ini->GetInt(u"DEFAULT", u"DEFAULT_LANG_POLICY", 1);
    std::vector<StringRecordNode> records;
    if (policy == 1) {
        const std::u16string path = iniString(ini, u"RES_FILE_LOCATION", key);
        if (path.empty())
            return 0;
        const auto bytes = readWhole(ResolveFilePath(path));
        if (!bytes)
            return 0;
        records = ParseIdFile(DecodeFile(*bytes));
    } else if (policy == 2) {
        const std::u16string textPath = iniString(ini, u"VEDRA_RES_FILE_LOCATION", key);
        const std::u16string mapPath = iniString(ini, u"VEDRA_RES_FILE_LOCATION", u"MAPPING_FILE_LOCATION");
        if (textPath.empty() || mapPath.empty())
            return 0;
        const auto text = readWhole(ResolveFilePath(textPath));
        const auto mapping = readWhole(ResolveFilePath(mapPath));
        if (!text || !mapping) {
            ce::dlg::messageBox(u"lang or lang maping file not Present!", captionFor(langId));
            return 0;
        }
        records = ParseTextAndMapping(DecodeFile(*text), DecodeFile(*mapping));
        if (records.empty())
            ce::dlg::messageBox(u" init lang File Failed!", captionFor(langId));
    } else {
        return 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_records.assign(std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
        m_current = langId;
    }
    ini->SetValue(u"DEFAULT", u"DEFAULT_LANGNAME", QString::number(langId).toStdU16String());
    return 1;
}

int CeLangStringFileResMgr::SetLanguage(int langId)
{
    if (langId == 0) {
        CeConfigFileManager* ini = CeConfigFileManager::Instance();
        langId = ini ? ini->GetInt(u"DEFAULT", u"DEFAULT_LANGNAME", 0) : 0;
        if (langId == 0)
            return 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_current == langId)
            return 1;
    }
    return load(langId);
}

int CeLangStringFileResMgr::GetString(int id, char16_t* buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    if (GetLanguage() == 0)
        SetLanguage(0);
    std::lock_guard<std::mutex> lock(m_lock);
    for (const StringRecordNode& r : m_records) {
        if (r.id != id)
            continue;
        const size_t n = std::min(r.text.size(), size_t(size - 1));
        r.text.copy(buffer, n);
        buffer[n] = 0;
        return int(n);
    }
    return 0;
}

std::u16string CeLangStringFileResMgr::String(int id)
{
    char16_t buffer[1024] = {};
    const int n = GetString(id, buffer, 1024);
    return std::u16string(buffer, size_t(n));
}

int CeLangStringFileResMgr::GetLanguage()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_current;
}

int CeLangStringFileResMgr::Count()
{
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_records.size());
}

int CeLangStringFileResMgr::GetLanguageFileKey(int langId, char16_t* buffer, int size)
{
    const char16_t* key = keyOf(langId);
    if (!key || !buffer)
        return 0;
    const std::u16string k = key;
    if (size <= int(k.size()))
        return 0;
    k.copy(buffer, k.size());
    buffer[k.size()] = 0;
    return int(k.size());
}

} // namespace kivo::bt
