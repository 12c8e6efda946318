// Every text the screens show, by numeric id, from the string file of the
// current language. Which file belongs to which language (by its Windows
// language identifier) and the default language come from LANGUAGE.ini.
#pragma once

#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kivo::bt {

struct StringRecordNode {
    int lineIndex = -1;
    std::u16string text;
    int id = 0;
};

class CeLangStringFileResMgr {
public:
    // The process's manager; made on first use, when it loads the default
    // language when one is set.
    static CeLangStringFileResMgr& Instance();
    // Tests: drop the strings and load the default language again.
    void ResetForTests();

    // 1 when the language is loaded (also when it already was), 0 when it
    // cannot be; 0 means the default language. The strings held stay until
    // a new file has been read whole.
    int SetLanguage(int langId);
    // The text with the id, cut to size - 1 code units and terminated; its
    // length, or 0 for an unknown id, a missing buffer or a size of 0.
    int GetString(int id, char16_t* buffer, int size);
    // The text with the id, empty when unknown.
    std::u16string String(int id);
    int GetLanguage();
    // The language's key in LANGUAGE.ini; 0 for an unknown language or a
    // buffer that is too small, else the key's length.
    static int GetLanguageFileKey(int langId, char16_t* buffer, int size);
    int Count();

    // The readers of the two kinds of string file (UTF-16 little-endian,
    // the first code unit skipped): one file of "id;text" lines, or a text
    // file of lines and a mapping file of "id;line index" lines. nullopt
    // when the files hold nothing usable is not an error: an empty list.
    static std::vector<StringRecordNode> ParseIdFile(const std::u16string& text);
    static std::vector<StringRecordNode> ParseTextAndMapping(const std::u16string& text, const std::u16string& mapping);
    // Bytes of a file as UTF-16 little-endian text without its first unit.
    static std::u16string DecodeFile(const std::string& bytes);
    // A path from LANGUAGE.ini as a device path.
    static std::string ResolveFilePath(const std::u16string& path);

private:
    CeLangStringFileResMgr();
    int load(int langId);

    std::mutex m_lock;
    std::list<StringRecordNode> m_records;
    int m_current = 0;
};

} // namespace kivo::bt
