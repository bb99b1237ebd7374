// Writing: the file's layout after each kind of write, and the refused writes.

#include "common/desktop/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace desktop;

namespace {

class IniWrite : public ::testing::Test
{
protected:
    std::filesystem::path file() const { return m_dir / "a.ini"; }
    TIniFile withFile(const std::string& bytes)
    {
        test::writeFile(file(), bytes);
        return TIniFile(file().string());
    }
    std::string onDisk() const { return test::readFile(file()); }
    test::TempDir m_dir;
};

TEST_F(IniWrite, FirstWriteCreatesTheFileWithHeaderAndKey)
{
    TIniFile ini(file().string());
    ini.WriteText("RPL", "Version", "20");
    EXPECT_EQ(onDisk(), "[RPL]\r\nVersion=20\r\n");
    ini.WriteNumber("RPL", "Tolerance", -5);
    ini.WriteFlag("RPL", "On", true);
    ini.WriteFlag("RPL", "Off", false);
    EXPECT_EQ(onDisk(), "[RPL]\r\nVersion=20\r\nTolerance=-5\r\nOn=1\r\nOff=0\r\n");
}

TEST_F(IniWrite, NewKeyGoesToTheEndOfItsSectionAndNewSectionToTheEndOfTheFile)
{
    TIniFile ini = withFile("; kept\r\n[A]\r\nk1=1\r\n\r\n[B]\r\nk2=2\r\n");
    ini.WriteText("a", "New", "x");
    ini.WriteText("B", "Other", "y");
    ini.WriteText("C", "Key", "z");
    EXPECT_EQ(onDisk(), "; kept\r\n[A]\r\nk1=1\r\nNew=x\r\n\r\n[B]\r\nk2=2\r\nOther=y\r\n[C]\r\nKey=z\r\n");
}

TEST_F(IniWrite, ExistingKeyIsReplacedWhereItStandsAndOtherLinesSurvive)
{
    // Unknown keys, comments, blank lines, quoted values and LF endings are not the store's to change.
    const std::string before = "[S]\nfirst=1\nFOLDER3 = old value\n;note\nquoted=\"a b\"\n\n[T]\r\nfolder3=t\r\n";
    TIniFile ini = withFile(before);
    ini.WriteText("s", "Folder3", "new");
    EXPECT_EQ(onDisk(), "[S]\nfirst=1\nFolder3=new\n;note\nquoted=\"a b\"\n\n[T]\r\nfolder3=t\r\n");
    EXPECT_EQ(ini.ReadText("S", "quoted", ""), "\"a b\"");
}

TEST_F(IniWrite, LastLineWithoutLineBreakGetsOneBeforeAnAddedLine)
{
    TIniFile ini = withFile("[S]\r\nk=1");
    ini.WriteText("S", "k", "2");
    EXPECT_EQ(onDisk(), "[S]\r\nk=2");
    ini.WriteText("S", "n", "3");
    EXPECT_EQ(onDisk(), "[S]\r\nk=2\r\nn=3\r\n");
    withFile("[S]\nk=1");
    ini.WriteText("T", "n", "3");
    EXPECT_EQ(onDisk(), "[S]\nk=1\r\n[T]\r\nn=3\r\n");
}

TEST_F(IniWrite, ValueIsOneLine)
{
    TIniFile ini(file().string());
    ini.WriteText("S", "Text", "first\r\nInjected=1");
    EXPECT_EQ(onDisk(), "[S]\r\nText=first\r\n");
    EXPECT_EQ(ini.ReadText("S", "Injected", "d"), "d");
}

TEST_F(IniWrite, UnchangedValueStillCreatesAMissingFile)
{
    TIniFile ini(file().string());
    ini.WriteText("S", "k", "v");
    std::filesystem::remove(file());
    ini.WriteText("S", "k", "v");
    EXPECT_EQ(onDisk(), "[S]\r\nk=v\r\n");
}

TEST_F(IniWrite, MissingFolderIsRefusedWithThePath)
{
    const std::string path = (m_dir / "no" / "such.ini").string();
    TIniFile ini(path);
    try {
        ini.WriteText("S", "k", "v");
        FAIL() << "no exception";
    } catch (const EIniFileException& e) {
        EXPECT_STREQ(e.what(), ("Unable to write to " + path).c_str());
    }
    EXPECT_FALSE(std::filesystem::exists(m_dir / "no"));
}

TEST_F(IniWrite, ReadOnlyFileIsRefusedEvenForAnUnchangedValueAndKeepsEarlierKeys)
{
    TIniFile ini(file().string());
    ini.WriteText("S", "before", "1");
    ASSERT_EQ(::chmod(file().c_str(), 0444), 0);
    const std::string message = "Unable to write to " + file().string();
    for (const char* value : { "1", "2" }) {
        try {
            ini.WriteText("S", "before", value);
            FAIL() << "no exception for " << value;
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.what(), message);
        }
    }
    EXPECT_THROW(ini.WriteText("S", "after", "2"), EIniFileException);
    EXPECT_THROW(ini.WriteText("New", "k", "2"), EIniFileException);
    EXPECT_EQ(onDisk(), "[S]\r\nbefore=1\r\n");
}

TEST_F(IniWrite, PathThatIsAFolderIsRefused)
{
    std::filesystem::create_directory(file());
    EXPECT_THROW(TIniFile(file().string()).WriteText("S", "k", "v"), EIniFileException);
}

TEST_F(IniWrite, RewriteKeepsPermissionBitsAndSymbolicLinks)
{
    test::writeFile(m_dir / "real.ini", "[S]\r\nk=1\r\nz=9\r\n");
    ASSERT_EQ(::chmod((m_dir / "real.ini").c_str(), 0640), 0);
    std::filesystem::create_symlink("real.ini", file());
    {
        TIniFile ini(file().string());
        ini.WriteText("S", "k", "22");
        ini.WriteText("S", "k", "333");
        EXPECT_TRUE(std::filesystem::is_symlink(file()));
        EXPECT_EQ(test::readFile(m_dir / "real.ini"), "[S]\r\nk=333\r\nz=9\r\n");
        struct stat st;
        ASSERT_EQ(::stat((m_dir / "real.ini").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
    // Once the store object is freed no scratch file is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2);
}

TEST_F(IniWrite, RewriteLeavesOtherHardLinksAsTheyWere)
{
    TIniFile ini = withFile("[S]\r\nk=1\r\nz=9\r\n");
    std::filesystem::create_hard_link(file(), m_dir / "other.ini");
    ini.WriteText("S", "k", "2");
    ini.WriteText("S", "k", "3");
    ini.WriteText("S", "n", "4");
    EXPECT_EQ(onDisk(), "[S]\r\nk=3\r\nz=9\r\nn=4\r\n");
    EXPECT_EQ(test::readFile(m_dir / "other.ini"), "[S]\r\nk=1\r\nz=9\r\n");
}

} // namespace
