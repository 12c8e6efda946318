// The ini file of the language strings, \config\LANGUAGE.ini in the
// program's directory: sections of key=value pairs in 8-bit text, read
// whole, looked up by section and key, and written back whole (by a
// replaced file) after every change. Names and values cross the interface
// as UTF-16 and are stored in the 8-bit code page (Latin-1 here).
#pragma once

#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kivo::bt {

class CeConfigFileManager {
public:
    // The process's manager, loaded from the program's LANGUAGE.ini on first
    // use; null when that file neither exists nor can be created.
    static CeConfigFileManager* Instance();
    // Tests: forget the process's manager (the next Instance loads again).
    static void ResetInstance();

    // Drops what is held and loads the file at path (a device path); 0, or
    // -1 when it can be neither opened nor created.
    int LoadFile(const std::u16string& path);
    // Parses 8-bit ini text into the held sections (no file involved).
    void Parse(const std::string& text);

    // The value cut to size - 1 code units and terminated; its length. A
    // missing section or key copies the default and gives 0, or -1 without
    // a default; -1 for a missing buffer; 0 for a size of 0 (nothing copied).
    int GetString(const std::u16string& section, const std::u16string& key, const char16_t* def, char16_t* buffer,
        int size);
    int GetInt(const std::u16string& section, const std::u16string& key, int def);
    // Sets the key (making it and its section when missing) and writes the
    // file: 1 when written, 0 when the write failed (the old file stays).
    int SetValue(const std::u16string& section, const std::u16string& key, const std::u16string& value);

    // The file's text as it would be written.
    std::string Serialise() const;
    const std::u16string& Path() const { return m_path; }
    int SectionCount() const { return int(m_sections.size()); }

private:
    struct Key {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::list<Key> keys;
    };
    const std::string* find(const std::string& section, const std::string& key) const;
    // The section of that name, made at the end when missing.
    Section& sectionNamed(const std::string& name);
    int write();

    mutable std::recursive_mutex m_lock;
    std::u16string m_path;
    std::list<Section> m_sections;
    // The sections by name (each name once), for look-ups that do not walk
    // the file's every section.
    std::unordered_map<std::string, Section*> m_byName;
};

// Reads a number as the ini file's integers do: "0x"/"0X" and up to eight
// hexadecimal digits (a non-hexadecimal character ends them), else the
// leading decimal value (0 when there is none).
int IniTextToInt(const std::string& text);

} // namespace kivo::bt
