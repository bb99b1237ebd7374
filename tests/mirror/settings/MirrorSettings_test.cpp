// The mirror's settings file: defaults, the key order of a save, the stored folder pairs and what
// a load and a save leave of keys they do not own.

#include "mirror/core/MirrorSettings.h"

#include "common/desktop/IniFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace mirror;

namespace {

const std::string FullFile = "[RPL]\r\n"
                             "Version=20\r\n"
                             "AutoPilotEnabled=1\r\n"
                             "AutoPilotInterval=120\r\n"
                             "DelOption=1\r\n"
                             "TimeDifTolerance=3\r\n"
                             "FolderCount=2\r\n"
                             "SkipCopyFolderError=1\r\n"
                             "LogFileEnable=1\r\n"
                             "LogFileOverwrite=0\r\n"
                             "AttachLogToEMail=1\r\n"
                             "LogFileName=/var/log/mirror run.log\r\n"
                             "SendEMailEnable=1\r\n"
                             "SmtpServer=127.0.0.1\r\n"
                             "MailFromAddress=rpl@localhost\r\n"
                             "MailToAddress=admin@localhost\r\n"
                             "MailCustomSubject=Nightly mirror\r\n"
                             "MailCustomText=See the attachment\r\n"
                             "SmtpPort=\r\n"
                             "SmtpSecurity=STARTTLS\r\n"
                             "SmtpUser=rpl\r\n"
                             "SmtpPassword=pw\r\n"
                             "SmtpPasswordFile=\r\n"
                             "SmtpTrustFile=office.pem\r\n"
                             "Folder0=+/srv/a >> /mnt/a\r\n"
                             "Folder1=-/srv/b b >> /mnt/b\r\n"
                             "ActivePageStatus=1\r\n"
                             "Exclude=*.tmp;cache/\r\n"
                             "Exclude0=\r\n"
                             "Exclude1=/build/;a\\;b\r\n";

class MirrorSettingsFile : public ::testing::Test
{
protected:
    std::string ini() const { return (m_dir / "RPL.INI").string(); }
    std::string program() const { return (m_dir / "RPL").string(); }
    std::string onDisk() const { return test::readFile(m_dir / "RPL.INI"); }
    MirrorSettings loadFrom(const std::string& bytes)
    {
        test::writeFile(m_dir / "RPL.INI", bytes);
        MirrorSettings settings;
        loadMirrorSettings(ini(), program(), settings);
        return settings;
    }
    test::TempDir m_dir;
};

TEST_F(MirrorSettingsFile, NoFileGivesTheStartDefaultsAndCreatesNothing)
{
    MirrorSettings settings;
    loadMirrorSettings(ini(), program(), settings);
    EXPECT_FALSE(settings.autoPilotEnabled);
    EXPECT_EQ(settings.autoPilotInterval, "60");
    EXPECT_FALSE(settings.delOption);
    EXPECT_EQ(settings.timeDifTolerance, 10);
    EXPECT_FALSE(settings.skipCopyFolderError);
    EXPECT_FALSE(settings.logFileEnable || settings.logFileOverwrite || settings.attachLogToEMail);
    EXPECT_EQ(settings.logFileName, program() + ".LOG");
    EXPECT_FALSE(settings.sendEMailEnable);
    EXPECT_EQ(settings.smtpServer + settings.mailFromAddress + settings.mailToAddress + settings.mailCustomSubject
            + settings.mailCustomText,
        "");
    EXPECT_EQ(settings.folders.count(), 0);
    EXPECT_FALSE(settings.activePageStatus);
    EXPECT_FALSE(std::filesystem::exists(ini()));
}

TEST_F(MirrorSettingsFile, SaveWritesEveryKeyInOrderAndLoadReadsItBack)
{
    MirrorSettings settings = loadFrom(FullFile);
    EXPECT_TRUE(settings.autoPilotEnabled && settings.delOption && settings.skipCopyFolderError);
    EXPECT_EQ(settings.timeDifTolerance, 3);
    EXPECT_EQ(settings.logFileName, "/var/log/mirror run.log");
    EXPECT_EQ(settings.mailCustomText, "See the attachment");
    ASSERT_EQ(settings.folders.count(), 2);
    EXPECT_EQ(settings.folders.at(1).text, "/srv/b b >> /mnt/b");
    EXPECT_FALSE(settings.folders.at(1).enabled);
    EXPECT_EQ(settings.exclude, "*.tmp;cache/");
    EXPECT_EQ(settings.folders.at(1).exclude, "/build/;a\\;b");

    EXPECT_EQ(settings.mailSettings().security, "STARTTLS");
    EXPECT_EQ(settings.smtpTrustFile, "office.pem");

    std::filesystem::remove(ini());
    saveMirrorSettings(ini(), settings);
    EXPECT_EQ(onDisk(), FullFile);
    // It holds a password: its owner's eyes only, also when it was readable before.
    std::filesystem::permissions(ini(), std::filesystem::perms(0644));
    saveMirrorSettings(ini(), settings);
    EXPECT_EQ(std::filesystem::status(ini()).permissions(), std::filesystem::perms(0600));
}

TEST_F(MirrorSettingsFile, ToleranceDefaultsToTheValueInMemory)
{
    MirrorSettings settings;
    settings.timeDifTolerance = 25;
    test::writeFile(ini(), "[RPL]\r\nTimeDifTolerance=oops\r\n");
    loadMirrorSettings(ini(), program(), settings);
    EXPECT_EQ(settings.timeDifTolerance, 25);
    test::writeFile(ini(), "[rpl]\r\ntimedeftolerance=1\r\nTIMEDIFTOLERANCE=0x20\r\n");
    loadMirrorSettings(ini(), program(), settings);
    EXPECT_EQ(settings.timeDifTolerance, 32);
}

TEST_F(MirrorSettingsFile, MalformedPairsAreDroppedAndTheNextSaveRenumbers)
{
    MirrorSettings settings = loadFrom("[RPL]\r\nFolderCount=6\r\n"
                                       "Folder0=*/x >> /y\r\nFolder1=-/c >> /d\r\nFolder2=+/no separator\r\n"
                                       "Folder3=\r\nFolder4=+/a >> /b\r\nFolder5=/e >> /f\r\nFolder6=+/g >> /h\r\n");
    ASSERT_EQ(settings.folders.count(), 2);
    EXPECT_EQ(settings.folders.at(0).text, "/c >> /d");
    EXPECT_FALSE(settings.folders.at(0).enabled);
    EXPECT_EQ(settings.folders.at(1).text, "/a >> /b");
    EXPECT_TRUE(settings.folders.at(1).enabled);

    saveMirrorSettings(ini(), settings);
    desktop::TIniFile file(ini());
    EXPECT_EQ(file.ReadNumber("RPL", "FolderCount", -1), 2);
    EXPECT_EQ(file.ReadText("RPL", "Folder0", ""), "-/c >> /d");
    EXPECT_EQ(file.ReadText("RPL", "Folder1", ""), "+/a >> /b");
    EXPECT_EQ(file.ReadText("RPL", "Folder2", ""), "+/no separator");
}

TEST_F(MirrorSettingsFile, ShrunkListLeavesOldPairKeysThatTheCountHides)
{
    MirrorSettings settings;
    for (const char* name : { "a", "b", "c", "d", "e" })
        settings.folders.add(std::string("/") + name, std::string("/m/") + name);
    saveMirrorSettings(ini(), settings);
    settings.folders.select(0);
    settings.folders.removeSelected();
    settings.folders.select(3);
    settings.folders.removeSelected();
    saveMirrorSettings(ini(), settings);

    const std::string text = onDisk();
    EXPECT_NE(text.find("FolderCount=3\r\nSkipCopyFolderError"), std::string::npos);
    EXPECT_NE(text.find("Folder0=+/b >> /m/b\r\nFolder1=+/c >> /m/c\r\nFolder2=+/d >> /m/d\r\n"
                        "Folder3=+/d >> /m/d\r\nFolder4=+/e >> /m/e\r\nActivePageStatus=0\r\n"),
        std::string::npos);
    MirrorSettings reloaded;
    loadMirrorSettings(ini(), program(), reloaded);
    EXPECT_EQ(reloaded.folders.count(), 3);
}

TEST_F(MirrorSettingsFile, HandEditedKeysAndForeignLinesSurviveStartAndClose)
{
    // A file edited by hand: the keys without a control, a foreign section, a comment and an
    // unknown key all come through a load and a save as they were.
    const std::string edited = "; mirror settings\r\n[RPL]\r\nTimeDifTolerance=4\r\nSkipCopyFolderError=1\r\n"
                               "MailCustomSubject=Backup done\r\nMailCustomText=Nothing to see\r\nOwnKey=keep\r\n"
                               "[Other]\r\nx=y\r\n";
    MirrorSettings settings = loadFrom(edited);
    saveMirrorSettings(ini(), settings);
    const std::string saved = onDisk();
    const std::string ownSection = edited.substr(0, edited.find("[Other]"));
    EXPECT_EQ(saved.substr(0, ownSection.size()), ownSection) << saved;
    EXPECT_EQ(saved.substr(saved.size() - 14), "[Other]\r\nx=y\r\n") << saved;
    MirrorSettings again;
    loadMirrorSettings(ini(), program(), again);
    EXPECT_EQ(again.timeDifTolerance, 4);
    EXPECT_TRUE(again.skipCopyFolderError);
    EXPECT_EQ(again.mailCustomSubject, "Backup done");
    EXPECT_EQ(again.mailCustomText, "Nothing to see");
    EXPECT_EQ(again.logFileName, program() + ".LOG"); // the default filled in at load is written back
    EXPECT_EQ(desktop::TIniFile(ini()).ReadText("RPL", "LogFileName", ""), program() + ".LOG");
}

TEST_F(MirrorSettingsFile, RefusedSaveNamesTheFile)
{
    const std::string path = (m_dir / "gone" / "RPL.INI").string();
    try {
        saveMirrorSettings(path, MirrorSettings {});
        FAIL() << "no exception";
    } catch (const desktop::EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
}

} // namespace

// A damaged FolderCount must not make the load try two billion keys: only the Folder<n> keys
// the file holds are read, in order, and the same pairs come out as a key-by-key load would.
TEST_F(MirrorSettingsFile, OnlyTheFolderKeysTheFileHoldsAreRead)
{
    const MirrorSettings settings = loadFrom("[RPL]\r\n"
                                             "FolderCount=2147483647\r\n"
                                             "Folder9=+/s9 >> /d9\r\n"
                                             "  folder7 = -/s7 >> /d7\r\n"
                                             "Folder0=+/s0 >> /d0\r\n"
                                             "Folder3=garbage\r\n"
                                             "Folder2147483647=+/never >> /read\r\n"
                                             "[Other]\r\n"
                                             "Folder12=+/other >> /section\r\n");
    ASSERT_EQ(settings.folders.count(), 3);
    EXPECT_EQ(settings.folders.at(0).text, "/s0 >> /d0");
    EXPECT_EQ(settings.folders.at(1).text, "/s7 >> /d7");
    EXPECT_FALSE(settings.folders.at(1).enabled);
    EXPECT_EQ(settings.folders.at(2).text, "/s9 >> /d9");
}

TEST_F(MirrorSettingsFile, ALoadTellsWhatWasWrongWithTheFile)
{
    MirrorSettings settings;
    EXPECT_EQ(loadMirrorSettings(ini(), program(), settings).fileError, ENOENT);

    test::writeFile(
        m_dir / "RPL.INI", "[RPL]\r\nFolderCount=3\r\nFolder0=+/a >> /b\r\nFolder1=/no mark\r\nFolder2=+no pair\r\n");
    const SettingsLoad load = loadMirrorSettings(ini(), program(), settings);
    EXPECT_EQ(load.fileError, 0);
    EXPECT_EQ(load.skippedEntries, (std::vector<std::string> { "Folder1=/no mark", "Folder2=+no pair" }));
    EXPECT_EQ(settings.folders.count(), 1);
}
