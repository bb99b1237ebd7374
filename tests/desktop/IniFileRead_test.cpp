// Reading: defaults, name matching, the value cut and the number and flag conversions.

#include "common/desktop/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace desktop;

namespace {

class IniRead : public ::testing::Test
{
protected:
    TIniFile withFile(const std::string& bytes)
    {
        test::writeFile(m_dir / "a.ini", bytes);
        return TIniFile((m_dir / "a.ini").string());
    }
    test::TempDir m_dir;
};

TEST_F(IniRead, MissingFileGivesDefaultsAndStaysMissing)
{
    TIniFile ini((m_dir / "none.ini").string());
    EXPECT_EQ(ini.ReadText("RPL", "LogFileName", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadNumber("RPL", "FolderCount", 7), 7);
    EXPECT_TRUE(ini.ReadFlag("RPL", "DelOption", true));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "none.ini"));
}

TEST_F(IniRead, MissingSectionOrKeyGivesDefaultButEmptyValueIsAValue)
{
    TIniFile ini = withFile("[RPL]\r\nEmpty=\r\n");
    EXPECT_EQ(ini.ReadText("Other", "Empty", "d"), "d");
    EXPECT_EQ(ini.ReadText("RPL", "Absent", "d"), "d");
    EXPECT_EQ(ini.ReadText("RPL", "Empty", "d"), "");
}

TEST_F(IniRead, NamesMatchWithoutRegardToCase)
{
    TIniFile ini = withFile("[rpl]\r\nFolder3=x\r\n[Other]\r\nfolder3=y\r\n");
    EXPECT_EQ(ini.ReadText("RPL", "FOLDER3", ""), "x");
    EXPECT_EQ(ini.ReadText("oTHER", "Folder3", ""), "y");
}

TEST_F(IniRead, LineFormsAndEndings)
{
    // LF and CR LF lines, blanks around names and values, comments, a line before any section,
    // a repeated key (the first counts), a value with "=" in it, and no line break at the end.
    TIniFile ini = withFile("Loose=1\n[ S ]\n  Key  =  a value  \r\n;Hidden=1\n#Also=1\nNoEquals\nKey=second\n"
                            "Url=a=b\r\nLast=end");
    EXPECT_EQ(ini.ReadText("S", "Key", ""), "a value");
    EXPECT_EQ(ini.ReadText("S", "Url", ""), "a=b");
    EXPECT_EQ(ini.ReadText("S", "Last", ""), "end");
    EXPECT_EQ(ini.ReadText("S", ";Hidden", "d"), "d");
    EXPECT_EQ(ini.ReadText("S", "#Also", "d"), "d");
    EXPECT_EQ(ini.ReadText("", "Loose", "d"), "d");
}

// A value cut here would be cut in the file by the next save: a long recipient list stays whole.
TEST_F(IniRead, LongValuesAreReadWhole)
{
    const std::string value(2000, 'v');
    TIniFile ini = withFile("[S]\r\nLong=" + value + "x\r\nExact=" + std::string(1023, 'e') + "\r\n");
    EXPECT_EQ(ini.ReadText("S", "Long", ""), value + "x");
    EXPECT_EQ(ini.ReadText("S", "Exact", "").size(), 1023u);
}

TEST_F(IniRead, NumbersInDecimalAndHexadecimal)
{
    TIniFile ini = withFile("[N]\r\nhex=0x10\r\nupper=0X1f\r\ndollar=$10\r\ndec=10\r\nneg=-42\r\nplus=+7\r\n"
                            "negHex=-$10\r\nmax=2147483647\r\nmin=-2147483648\r\nzeros=0000000000000000012\r\n");
    EXPECT_EQ(ini.ReadNumber("N", "hex", -1), 16);
    EXPECT_EQ(ini.ReadNumber("N", "upper", -1), 31);
    EXPECT_EQ(ini.ReadNumber("N", "dollar", -1), 16);
    EXPECT_EQ(ini.ReadNumber("N", "dec", -1), 10);
    EXPECT_EQ(ini.ReadNumber("N", "neg", -1), -42);
    EXPECT_EQ(ini.ReadNumber("N", "plus", -1), 7);
    EXPECT_EQ(ini.ReadNumber("N", "negHex", -1), -16);
    EXPECT_EQ(ini.ReadNumber("N", "max", -1), 2147483647);
    EXPECT_EQ(ini.ReadNumber("N", "min", -1), INT32_MIN);
    EXPECT_EQ(ini.ReadNumber("N", "zeros", -1), 12);
}

TEST_F(IniRead, TextsThatAreNoNumberGiveTheDefault)
{
    TIniFile ini = withFile("[N]\r\nx=0x\r\nabc=12abc\r\nempty=\r\nsign=-\r\ndollar=$\r\nover=2147483648\r\n"
                            "under=-2147483649\r\nhexOver=$80000000\r\nnegHexPrefix=-0x10\r\nspaced=1 2\r\n"
                            "badHex=$1G\r\nfraction=1.5\r\n");
    for (const char* key : { "x",
             "abc",
             "empty",
             "sign",
             "dollar",
             "over",
             "under",
             "hexOver",
             "negHexPrefix",
             "spaced",
             "badHex",
             "fraction",
             "absent" })
        EXPECT_EQ(ini.ReadNumber("N", key, 99), 99) << key;
}

TEST_F(IniRead, FlagsAreNumbersThatAreNotZero)
{
    TIniFile ini = withFile("[F]\r\ntwo=2\r\nminus=-1\r\nzero=0\r\nyes=yes\r\n");
    EXPECT_TRUE(ini.ReadFlag("F", "two", false));
    EXPECT_TRUE(ini.ReadFlag("F", "minus", false));
    EXPECT_FALSE(ini.ReadFlag("F", "zero", true));
    EXPECT_TRUE(ini.ReadFlag("F", "yes", true));
    EXPECT_FALSE(ini.ReadFlag("F", "yes", false));
}

TEST_F(IniRead, UnreadableOrNonFilePathGivesDefaults)
{
    std::filesystem::create_directory(m_dir / "dir.ini");
    EXPECT_EQ(TIniFile((m_dir / "dir.ini").string()).ReadText("S", "K", "d"), "d");
    EXPECT_EQ(TIniFile((m_dir / "no" / "such.ini").string()).ReadText("S", "K", "d"), "d");
}

} // namespace
