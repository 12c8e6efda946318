// LANGUAGE.ini's reader and writer and the language strings, on files in a
// fresh device root.
#include "tests/bt/ui/ui_test_support.h"
#include "tests/support/file_size_limit.h"


#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace kivo::bt::test {
namespace {

const std::string kIni = std::string(kProgramDir) + "\\config\\LANGUAGE.ini";

class IniTest : public UiTest {
protected:
    CeConfigFileManager ini;
    void load(const std::string& text)
    {
        writeDeviceFile(kIni, text);
        ASSERT_EQ(ini.LoadFile(QString::fromStdString(kIni).toStdU16String()), 0);
    }
};

TEST_F(IniTest, ReadsNumbersSectionsAndKeys)
{
    load("; comment\r\nstray=1\r\n[DEFAULT]\r\n  k = 0x1A \r\nn=12abc\r\nh=0XfF\r\nneg=-7\r\n=nokey\r\n"
         "eight=0x12345678\r\nnine=0x9abcdef01\r\n[ DEFAULT ]\r\nm=3\r\n[Other]\r\nx=y\r\n");
    struct Case {
        const char16_t* section;
        const char16_t* key;
        int expected;
    };
    const Case cases[] = {
        { u"DEFAULT", u"k", 26 }, { u"DEFAULT", u"n", 12 }, { u"DEFAULT", u"h", 255 }, { u"DEFAULT", u"neg", -7 },
        { u"DEFAULT", u"m", 3 }, { u"DEFAULT", u"missing", 77 }, { u"Other", u"x", 0 }, { u"default", u"k", 77 },
        { u"NoSection", u"stray", 77 },
        // Eight hexadecimal digits are read whole; a ninth is not read.
        { u"DEFAULT", u"eight", 0x12345678 }, { u"DEFAULT", u"nine", int(0x9abcdef0u) },
    };
    for (const Case& c : cases)
        EXPECT_EQ(ini.GetInt(c.section, c.key, 77), c.expected) << QString::fromStdU16String(c.key).toStdString();
    EXPECT_EQ(ini.SectionCount(), 2);

    char16_t buffer[10];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(ini.GetString(u"Other", u"x", nullptr, buffer, 10), 1);
    EXPECT_EQ(std::u16string(buffer), u"y");
    EXPECT_EQ(ini.GetString(u"Other", u"none", u"dflt", buffer, 10), 0);
    EXPECT_EQ(std::u16string(buffer), u"dflt");
    EXPECT_EQ(ini.GetString(u"Other", u"none", nullptr, buffer, 10), -1);
    EXPECT_EQ(ini.GetString(u"DEFAULT", u"n", nullptr, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"12a");
    buffer[0] = u'#';
    EXPECT_EQ(ini.GetString(u"DEFAULT", u"n", nullptr, buffer + 1, 0), 0);
    EXPECT_EQ(buffer[0], u'#') << "a size of 0 writes nothing, not even before the buffer";
}

TEST_F(IniTest, SetValueAppendsNewSectionsLastAndWritesTheWholeFile)
{
    load("[DEFAULT]\nDEFAULT_LANGNAME=0\n");
    EXPECT_EQ(ini.SetValue(u"DEFAULT", u"DEFAULT_LANGNAME", u"1033"), 1);
    EXPECT_EQ(ini.SetValue(u"NEW", u"key", u"v"), 1);
    EXPECT_EQ(readDeviceFile(kIni), "[DEFAULT]\r\nDEFAULT_LANGNAME=1033\r\n\r\n[NEW]\r\nkey=v\r\n\r\n");
}

TEST_F(IniTest, AFailedWriteKeepsTheOldFile)
{
    load("[DEFAULT]\r\nDEFAULT_LANGNAME=1033\r\n\r\n");
    const std::string before = readDeviceFile(kIni);
    // The drive fills up part-way through the new file.
    {
        kivo::test::FileSizeLimit full(10);
        EXPECT_EQ(ini.SetValue(u"DEFAULT", u"DEFAULT_LANGNAME", u"1031"), 0);
    }
    EXPECT_EQ(readDeviceFile(kIni), before);
}

// A killed write leaves its unfinished file beside LANGUAGE.ini; the next
// write removes it (and the one fixed name of earlier versions), yet not the
// file of a write still under way, which its writer holds locked.
TEST_F(IniTest, AWriteRemovesWhatKilledWritesLeftButNotALiveOnes)
{
    load("[DEFAULT]\r\nDEFAULT_LANGNAME=1033\r\n\r\n");
    const std::string file = ce::resolvePath(kIni);
    const std::string killed[] = { file + ".tmp", file + ".4242-3.tmp", file + "." + std::to_string(::getpid()) + "-900.tmp" };
    for (const std::string& left : killed)
        std::ofstream(left) << "[DEFAULT]\r\nDEFA";
    const std::string live = file + ".4243-1.tmp";
    std::ofstream(live) << "[DEF";
    const int writer = ::open(live.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);

    EXPECT_EQ(ini.SetValue(u"DEFAULT", u"DEFAULT_LANGNAME", u"1031"), 1);
    for (const std::string& left : killed)
        EXPECT_FALSE(std::filesystem::exists(left)) << left;
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_EQ(readDeviceFile(kIni), "[DEFAULT]\r\nDEFAULT_LANGNAME=1031\r\n\r\n");
    ::close(writer);
}

TEST_F(IniTest, CommentLinesAreNeitherKeysNorSectionsAndAreNotWrittenBack)
{
    load("[DEFAULT]\r\n;old=1\r\n  ; spaced=2\r\n;[Hidden]\r\nkept=3\r\n");
    EXPECT_EQ(ini.GetInt(u"DEFAULT", u";old", 77), 77);
    EXPECT_EQ(ini.GetInt(u"DEFAULT", u"; spaced", 77), 77);
    EXPECT_EQ(ini.GetInt(u"DEFAULT", u"kept", 77), 3);
    EXPECT_EQ(ini.SectionCount(), 1);
    EXPECT_EQ(ini.Serialise(), "[DEFAULT]\r\nkept=3\r\n\r\n");
}

// How long many sections take to load is measured in the benchmarks.
TEST_F(IniTest, ManySectionsLoadAndATwiceOpenedOneStaysOne)
{
    constexpr int kSections = 20000;
    std::string text;
    for (int i = 0; i < kSections; ++i)
        text += "[S" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[S7]\nlate=1\n";
    ini.Parse(text);
    EXPECT_EQ(ini.SectionCount(), kSections);
    EXPECT_EQ(ini.GetInt(u"S7", u"k", -1), 7);
    EXPECT_EQ(ini.GetInt(u"S7", u"late", -1), 1);
    EXPECT_EQ(ini.GetInt(u"S19999", u"k", -1), 19999);
}

TEST_F(IniTest, AFileThatCannotBeMadeFailsTheLoad)
{
    EXPECT_EQ(ini.LoadFile(u"\\SystemDrive\\nowhere\\at\\all.ini"), -1);
}

class LangTest : public UiTest {
protected:
    CeLangStringFileResMgr& strings = CeLangStringFileResMgr::Instance();
    void setIni(const std::string& text)
    {
        writeDeviceFile(kIni, text);
        CeConfigFileManager::ResetInstance();
        strings.ResetForTests();
    }
};

TEST_F(LangTest, IdFileEscapesSkipsEmptyAndGivesTheFirstOfTwins)
{
    const auto records = CeLangStringFileResMgr::ParseIdFile(
        u"12;Hello\\nWorld\r\n13; \r\n14 ;  a\\\\b\\r\\q\t\n15;cut\\0here\n;nothing\nabc;text\n12;second\n16;x;y\n");
    std::vector<std::pair<int, std::u16string>> got;
    for (const auto& r : records)
        got.emplace_back(r.id, r.text);
    const std::vector<std::pair<int, std::u16string>> expected = {
        { 12, u"Hello\nWorld" }, { 14, u"a\\b\r\\q" }, { 15, u"cut" }, { 12, u"second" }, { 16, u"x" },
    };
    EXPECT_EQ(got, expected);
}

TEST_F(LangTest, TheDeviceTemplateGivesEveryScreenText)
{
    EXPECT_EQ(strings.GetLanguage(), 1033);
    for (int id : { 10001, 10002, 10003, 10004, 10005, 10006, 10011, 10012, 10013, 10014, 10015, 10021, 10022, 10031,
             10032, 10041, 10042, 10043, 10051, 10052, 10053, 10061, 10062, 10071, 10091, 10101, 10201, 10202, 10301,
             10401 })
        EXPECT_FALSE(strings.String(id).empty()) << id;
    char16_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(strings.GetString(10006, buffer, 4), 3);
    EXPECT_EQ(std::u16string(buffer), u"Pai");
    EXPECT_EQ(strings.GetString(10006, buffer + 1, 0), 0);
    EXPECT_EQ(buffer[0], u'P');
    EXPECT_EQ(strings.GetString(4711, buffer, 8), 0);
    EXPECT_EQ(std::u16string(buffer), u"Pai") << "an unknown id leaves the buffer";
}

TEST_F(LangTest, LanguagesByIdentifierAndTheDefaultWrittenBack)
{
    setIni("[DEFAULT]\r\nDEFAULT_LANG_POLICY=1\r\nDEFAULT_LANGNAME=0\r\n[RES_FILE_LOCATION]\r\n"
           "ENG_LANG_FILE=Language\\en.txt\r\nGER_LANG_FILE=\\SystemDrive\\de.txt\r\n"
           "FRE_LANG_FILE=Language\\missing.txt\r\n");
    writeDeviceFile(std::string(kProgramDir) + "\\Language\\en.txt", utf16File(u"1;One\r\n"));
    writeDeviceFile("\\SystemDrive\\de.txt", utf16File(u"1;Eins\n"));
    EXPECT_EQ(strings.GetLanguage(), 0);
    EXPECT_EQ(strings.String(1), u"");

    EXPECT_EQ(strings.SetLanguage(2057), 1);
    EXPECT_EQ(strings.String(1), u"One");
    EXPECT_EQ(strings.GetLanguage(), 2057);
    EXPECT_NE(readDeviceFile(kIni).find("DEFAULT_LANGNAME=2057\r\n"), std::string::npos);

    EXPECT_EQ(strings.SetLanguage(1039), 0);
    EXPECT_EQ(strings.SetLanguage(1036), 0) << "a file that is not there";
    EXPECT_EQ(strings.String(1), u"One") << "the strings held stay";
    EXPECT_EQ(strings.SetLanguage(1031), 1);
    EXPECT_EQ(strings.String(1), u"Eins");
    EXPECT_EQ(strings.SetLanguage(0), 1) << "the default is the last loaded";
    EXPECT_EQ(strings.GetLanguage(), 1031);

    char16_t key[14];
    EXPECT_EQ(CeLangStringFileResMgr::GetLanguageFileKey(2057, key, 14), 13);
    EXPECT_EQ(std::u16string(key), u"ENG_LANG_FILE");
    EXPECT_EQ(CeLangStringFileResMgr::GetLanguageFileKey(1033, key, 13), 0);
    EXPECT_EQ(CeLangStringFileResMgr::GetLanguageFileKey(1039, key, 14), 0);
}

TEST_F(LangTest, WithoutAPolicyEachLanguageHasAFileOfItsOwn)
{
    setIni("[DEFAULT]\r\nDEFAULT_LANGNAME=0\r\n[RES_FILE_LOCATION]\r\nENG_LANG_FILE=Language\\en.txt\r\n"
           "[VEDRA_RES_FILE_LOCATION]\r\nENG_LANG_FILE=t.txt\r\nMAPPING_FILE_LOCATION=m.txt\r\n");
    writeDeviceFile(std::string(kProgramDir) + "\\Language\\en.txt", utf16File(u"1;One\r\n"));
    writeDeviceFile(std::string(kProgramDir) + "\\t.txt", utf16File(u"Mapped\n"));
    writeDeviceFile(std::string(kProgramDir) + "\\m.txt", utf16File(u"1;1\n"));
    EXPECT_EQ(strings.SetLanguage(2057), 1);
    EXPECT_EQ(strings.String(1), u"One");
}

TEST_F(LangTest, TextAndMappingFiles)
{
    setIni("[DEFAULT]\r\nDEFAULT_LANG_POLICY=2\r\n[VEDRA_RES_FILE_LOCATION]\r\nENG_LANG_FILE=t.txt\r\n"
           "MAPPING_FILE_LOCATION=m.txt\r\nGER_LANG_FILE=none.txt\r\nFRE_LANG_FILE=empty.txt\r\n");
    writeDeviceFile(std::string(kProgramDir) + "\\t.txt", utf16File(u"First\r\n\r\n  Second\\n  \nUnmapped\n"));
    writeDeviceFile(std::string(kProgramDir) + "\\m.txt", utf16File(u"100;2\r\n101;1\n102;9\n"));
    writeDeviceFile(std::string(kProgramDir) + "\\empty.txt", utf16File(u"\n"));
    EXPECT_EQ(strings.SetLanguage(1033), 1);
    EXPECT_EQ(strings.String(100), u"Second\n");
    EXPECT_EQ(strings.String(101), u"First");
    EXPECT_EQ(strings.Count(), 2);
    EXPECT_TRUE(boxes.empty());

    EXPECT_EQ(strings.SetLanguage(1031), 0);
    EXPECT_EQ(boxes, std::vector<std::string>({ "Id:1031: lang or lang maping file not Present!" }));
    EXPECT_EQ(strings.String(101), u"First");
    EXPECT_EQ(strings.SetLanguage(1036), 1);
    EXPECT_EQ(boxes.back(), "Id:1036:  init lang File Failed!");
}

TEST_F(LangTest, TheLastLinesCountWithoutALineEnd)
{
    setIni("[DEFAULT]\r\nDEFAULT_LANG_POLICY=2\r\n[VEDRA_RES_FILE_LOCATION]\r\nENG_LANG_FILE=t.txt\r\n"
           "MAPPING_FILE_LOCATION=m.txt\r\n");
    writeDeviceFile(std::string(kProgramDir) + "\\t.txt", utf16File(u"One\nTwo"));
    writeDeviceFile(std::string(kProgramDir) + "\\m.txt", utf16File(u"200;1\n201;2"));
    EXPECT_EQ(strings.SetLanguage(1033), 1);
    EXPECT_EQ(strings.String(200), u"One");
    EXPECT_EQ(strings.String(201), u"Two");
    EXPECT_EQ(strings.Count(), 2);
}

} // namespace
} // namespace kivo::bt::test
