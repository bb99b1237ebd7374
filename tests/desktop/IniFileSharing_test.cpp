// The file is shared: every operation sees what other writers and other store objects did, and
// every write is complete on disk when it returns.

#include "common/desktop/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>

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
    // A fresh object on the same path and a plain read of the bytes agree after each kind of write:
    // creation, an appended key, a new section, an in-place replacement, a shorter replacement.
    TIniFile writer(file().string());
    const std::pair<std::string, std::string> steps[] = {
        {"a", "[S]\r\na=1\r\n"},
        {"b", "[S]\r\na=1\r\nb=1\r\n"},
    };
    for (const auto& [key, expected] : steps) {
        writer.WriteText("S", key, "1");
        EXPECT_EQ(onDisk(), expected);
    }
    writer.WriteText("T", "c", "1");
    writer.WriteText("S", "a", "a much longer value");
    writer.WriteText("S", "b", "");
    EXPECT_EQ(onDisk(), "[S]\r\na=a much longer value\r\nb=\r\n[T]\r\nc=1\r\n");
    EXPECT_EQ(TIniFile(file().string()).ReadText("s", "A", ""), "a much longer value");
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
