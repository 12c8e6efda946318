// KivoBT's LANGUAGE.ini as any bytes.
//
// Checked: reading ends; every value read comes back cut to the buffer and
// terminated; a value set reads back, and the file written reads back to the
// same text.
// fuzz-links: kivo_bt

#include "bt/lang/config_file.h"
#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/paths.h"

#include <QString>

#include <fstream>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using kivo::bt::CeConfigFileManager;
    const std::string devicePath = "\\SystemDrive\\fuzz\\LANGUAGE.ini";
    {
        std::ofstream f(ce::resolvePath(devicePath, true), std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
        FUZZ_CHECK(f.good());
    }
    CeConfigFileManager ini;
    FUZZ_CHECK(ini.LoadFile(u"\\SystemDrive\\fuzz\\LANGUAGE.ini") == 0);

    const char16_t* keys[] = { u"DEFAULT_LANG_POLICY", u"DEFAULT_LANGNAME", u"ENG_LANG_FILE" };
    const char16_t* sections[] = { u"DEFAULT", u"RES_FILE_LOCATION", u"VEDRA_RES_FILE_LOCATION" };
    for (const char16_t* section : sections) {
        for (const char16_t* key : keys) {
            char16_t buffer[8];
            const int n = ini.GetString(section, key, u"", buffer, 8);
            FUZZ_CHECK(n >= 0 && n <= 7 && buffer[n] == 0);
            (void)ini.GetInt(section, key, 5);
        }
    }

    FUZZ_CHECK(ini.SetValue(u"DEFAULT", u"DEFAULT_LANGNAME", u"1033") == 1);
    FUZZ_CHECK(ini.GetInt(u"DEFAULT", u"DEFAULT_LANGNAME", 0) == 1033);
    CeConfigFileManager again;
    FUZZ_CHECK(again.LoadFile(u"\\SystemDrive\\fuzz\\LANGUAGE.ini") == 0);
    CeConfigFileManager third;
    FUZZ_CHECK(third.LoadFile(u"\\SystemDrive\\fuzz\\LANGUAGE.ini") == 0);
    FUZZ_CHECK(again.Serialise() == third.Serialise());
    return 0;
}
