// KivoBT's language string files as any bytes: the first byte picks one
// file of ids and texts, or a text file and a mapping file (the rest split
// at its first 0xFF byte).
//
// Checked: reading ends; every record has an id and a text, and a text of a
// file of ids holds no ";"; the language loads from the file, and each id
// reads back as its first record's text, cut to the buffer.
// fuzz-links: kivo_bt

#include "bt/lang/config_file.h"
#include "bt/lang/lang_strings.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/dialogs/services.h"
#include "platform/paths.h"

#include <QApplication>

#include <fstream>
#include <map>

using kivo::bt::CeConfigFileManager;
using kivo::bt::CeLangStringFileResMgr;

namespace {

const std::string kDir = "\\SystemDrive\\Falmo\\program\\bt";

void writeFile(const std::string& devicePath, const std::string& bytes)
{
    std::ofstream f(ce::resolvePath(devicePath, true), std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), std::streamsize(bytes.size()));
    FUZZ_CHECK(f.good());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    kivo::fuzz::ensureDeviceRoot();
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QApplication app(*argc, *argv);
    ce::setProgramDirectory(kDir);
    ce::dlg::setMessageBoxHook([](const std::u16string&, const std::u16string&, unsigned) { return 1; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const bool idFile = (data[0] & 1) == 0;
    std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string text = rest;
    std::string mapping;
    if (!idFile) {
        const size_t cut = rest.find('\xFF');
        text = rest.substr(0, cut);
        mapping = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    }
    const auto records = idFile
        ? CeLangStringFileResMgr::ParseIdFile(CeLangStringFileResMgr::DecodeFile(text))
        : CeLangStringFileResMgr::ParseTextAndMapping(
              CeLangStringFileResMgr::DecodeFile(text), CeLangStringFileResMgr::DecodeFile(mapping));
    std::map<int, std::u16string> first;
    for (const auto& r : records) {
        FUZZ_CHECK(!r.text.empty());
        FUZZ_CHECK(idFile || r.id != 0);
        FUZZ_CHECK(!idFile || r.text.find(u';') == std::u16string::npos);
        first.emplace(r.id, r.text);
    }

    writeFile(kDir + "\\config\\LANGUAGE.ini",
        idFile ? "[DEFAULT]\r\nDEFAULT_LANG_POLICY=1\r\n[RES_FILE_LOCATION]\r\nENG_LANG_FILE=en.txt\r\n"
               : "[DEFAULT]\r\nDEFAULT_LANG_POLICY=2\r\n[VEDRA_RES_FILE_LOCATION]\r\nENG_LANG_FILE=en.txt\r\n"
                 "MAPPING_FILE_LOCATION=map.txt\r\n");
    writeFile(kDir + "\\en.txt", text);
    writeFile(kDir + "\\map.txt", mapping);
    CeConfigFileManager::ResetInstance();
    CeLangStringFileResMgr& strings = CeLangStringFileResMgr::Instance();
    strings.ResetForTests();
    FUZZ_CHECK(strings.SetLanguage(1033) == 1);
    FUZZ_CHECK(strings.Count() == int(records.size()));
    for (const auto& [id, t] : first) {
        char16_t buffer[6];
        const int n = strings.GetString(id, buffer, 6);
        FUZZ_CHECK(n == int(std::min<size_t>(t.size(), 5)) && buffer[n] == 0);
        FUZZ_CHECK(std::u16string(buffer, size_t(n)) == t.substr(0, 5));
    }
    return 0;
}
