// The file is shared: every operation sees what other writers and other store objects did, and
// every write is complete on disk when it returns.

#include "common/desktop/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace desktop;

namespace {

class IniSharing : public ::testing::Test
{
protected:
    std::filesystem::path file() const { return m_dir / "a.ini"; }
    std::string onDisk() const { return test::readFile(file()); }
    test::TempDir m_dir;
};

TEST_F(IniSharing, ChangesByAnotherWriterAreSeenAtOnce)
{
    TIniFile ini(file().string());
    ini.WriteText("S", "k", "1");
    EXPECT_EQ(ini.ReadText("S", "k", ""), "1");

    test::writeFile(file(), "[S]\r\nk=2\r\n"); // same size, same file, rewritten in place
    EXPECT_EQ(ini.ReadText("S", "k", ""), "2");

    test::writeFile(m_dir / "b.ini", "[S]\r\nk=3\r\n"); // replaced by a rename
    std::filesystem::rename(m_dir / "b.ini", file());
    EXPECT_EQ(ini.ReadText("S", "k", ""), "3");

    std::filesystem::remove(file());
    EXPECT_EQ(ini.ReadText("S", "k", "gone"), "gone");
}

TEST_F(IniSharing, WriteKeepsWhatAnotherWriterAddedMeanwhile)
{
    TIniFile ini(file().string());
    ini.WriteText("S", "k", "1");
    {
        FILE* f = std::fopen(file().c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fputs("Theirs=x\r\n", f);
        std::fclose(f);
    }
    ini.WriteText("S", "Mine", "y");
    ini.WriteText("S", "k", "2");
    EXPECT_EQ(onDisk(), "[S]\r\nk=2\r\nTheirs=x\r\nMine=y\r\n");
}

TEST_F(IniSharing, EveryWriteIsOnDiskWhenItReturns)
{
    // Each way a write can reach the file: creation, a line added at the end, a new section, a
    // line of the same length changed in place, a longer and a shorter line, a line in the middle.
    struct Step
    {
        const char *section, *key, *value, *expected;
    };
    const Step steps[] = {
        { "S", "a", "1", "[S]\r\na=1\r\n" },
        { "S", "b", "22", "[S]\r\na=1\r\nb=22\r\n" },
        { "T", "c", "3", "[S]\r\na=1\r\nb=22\r\n[T]\r\nc=3\r\n" },
        { "S", "B", "44", "[S]\r\na=1\r\nB=44\r\n[T]\r\nc=3\r\n" },
        { "S", "a", "longer", "[S]\r\na=longer\r\nB=44\r\n[T]\r\nc=3\r\n" },
        { "S", "a", "", "[S]\r\na=\r\nB=44\r\n[T]\r\nc=3\r\n" },
        { "S", "d", "5", "[S]\r\na=\r\nB=44\r\nd=5\r\n[T]\r\nc=3\r\n" },
    };
    TIniFile writer(file().string());
    for (const Step& step : steps) {
        writer.WriteText(step.section, step.key, step.value);
        EXPECT_EQ(onDisk(), step.expected) << step.key << "=" << step.value;
        EXPECT_EQ(TIniFile(file().string()).ReadText(step.section, step.key, "?"), step.value);
    }
}

TEST_F(IniSharing, ManyFilesAndSpellingsOfOnePathStayConsistent)
{
    // Two spellings of one path and more files than the store keeps parsed at a time.
    std::filesystem::create_directory(m_dir / "sub");
    TIniFile direct(file().string());
    TIniFile roundabout((m_dir / "sub" / ".." / "a.ini").string());
    for (int i = 0; i < 20; ++i) {
        TIniFile other((m_dir / ("f" + std::to_string(i) + ".ini")).string());
        other.WriteNumber("S", "i", i);
        direct.WriteNumber("S", "i", i);
        EXPECT_EQ(roundabout.ReadNumber("S", "i", -1), i);
        roundabout.WriteNumber("S", "j", i);
        EXPECT_EQ(direct.ReadNumber("S", "j", -1), i);
    }
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(TIniFile((m_dir / ("f" + std::to_string(i) + ".ini")).string()).ReadNumber("S", "i", -1), i);
    EXPECT_EQ(onDisk(), "[S]\r\ni=19\r\nj=19\r\n");
}

} // namespace
