#include "MirrorFixture.h"

#include <sys/stat.h>

TEST_F(MirrorFixture, FirstRunCopiesTheWholeSourceAsOneNewFolder)
{
    write(source / "a.txt", "alpha", 1600000000);
    write(source / "sub" / "b.bin", std::string(100000, 'b'), 1600000100);
    write(source / ".profile", "hidden");
    fs::create_directories(source / "empty");
    chmod((source / "a.txt").c_str(), 0640);
    run();

    EXPECT_EQ(read(destination / "a.txt"), "alpha");
    EXPECT_EQ(read(destination / "sub" / "b.bin"), std::string(100000, 'b'));
    EXPECT_EQ(mtimeOf(destination / "a.txt"), 1600000000);
    EXPECT_EQ(mtimeOf(destination / "sub" / "b.bin"), 1600000100);
    EXPECT_EQ(fs::status(destination / "a.txt").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(fs::is_directory(destination / "empty"));
    EXPECT_EQ(read(destination / ".profile"), "hidden"); // a whole-folder copy takes everything
    EXPECT_TRUE(loggedLine("Copy New Directory " + destination.string()));
    // A new folder is not examined file by file.
    EXPECT_FALSE(loggedLine(source.string()));
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(MirrorFixture, PairLinesFrameEachPairInTheSummary)
{
    fs::create_directories(destination);
    run();
    const std::string s = source.string();
    const std::string d = destination.string();
    EXPECT_EQ(frontEnd.summary,
              s + "  ==>  " + d + "\r\nMirror Started on 3/14/26 9:30:00 AM\r\n\r\n"
                  "Mirror Ended on 3/14/26 9:30:00 AM\r\n*****\r\n\r\n");
    EXPECT_EQ(frontEnd.activityLines,
              (std::vector<std::string>{s + "  ==>  " + d, "Mirror Started on 3/14/26 9:30:00 AM", "", s,
                                        "Mirror Ended on 3/14/26 9:30:00 AM", "*****", ""}));
    EXPECT_EQ(frontEnd.tray, (std::vector<std::pair<int, std::string>>{{1, "RP - Mirroring..."}, {0, "RP"}}));
    EXPECT_EQ(frontEnd.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(frontEnd.pairPaths.back(), std::make_pair(s, d));
}

TEST_F(MirrorFixture, RemovedAndChangedFilesGoIntoTheDatedDeletedFolder)
{
    write(source / "keep.txt", "same", 1600000000);
    write(source / "sub" / "changed.txt", "new contents", 1600000600);
    write(destination / "keep.txt", "same", 1600000000);
    write(destination / "sub" / "changed.txt", "old", 1600000000);
    write(destination / "sub" / "a.txt", "gone from source");
    write(destination / "olddir" / "x.txt", "x");
    run();

    EXPECT_EQ(read(destination / "sub" / "changed.txt"), "new contents");
    EXPECT_EQ(mtimeOf(destination / "sub" / "changed.txt"), 1600000600);
    EXPECT_FALSE(fs::exists(destination / "sub" / "a.txt"));
    EXPECT_EQ(read(deleted() / "sub" / "a.txt"), "gone from source");
    EXPECT_EQ(read(deleted() / "sub" / "changed.txt"), "old");
    EXPECT_EQ(read(deleted() / "olddir" / "x.txt"), "x");
    EXPECT_FALSE(fs::exists(destination / "olddir"));
    EXPECT_TRUE(statusLine("Skip File keep.txt"));
    EXPECT_FALSE(loggedLine("Skip File keep.txt"));
    EXPECT_TRUE(loggedLine(" * Delete file " + (destination / "sub" / "a.txt").string()));
    EXPECT_TRUE(loggedLine(" * DELETING FOLDER " + (destination / "olddir").string()));
    EXPECT_TRUE(loggedLine(" * Replace changed file " + (destination / "sub" / "changed.txt").string()));
    EXPECT_TRUE(statusLine("Copy File changed.txt"));
    EXPECT_TRUE(errorLines().empty());
    // No hidden temporary copy is left behind.
    for (const auto& entry : fs::recursive_directory_iterator(destination))
        EXPECT_EQ(entry.path().filename().string().rfind(".rpl~", 0), std::string::npos) << entry.path();
}

TEST_F(MirrorFixture, ToleranceComparesPackedTimeStampsAndSizes)
{
    const time_t base = 1600000000 - 1600000000 % 60; // start of a minute: 2 s per unit
    write(source / "within.txt", "1234", base + 20);
    write(destination / "within.txt", "abcd", base); // packed difference 10
    write(source / "beyond.txt", "1234", base + 22);
    write(destination / "beyond.txt", "abcd", base); // packed difference 11
    write(source / "sized.txt", "12345", base);
    write(destination / "sized.txt", "1234", base);
    run();
    EXPECT_EQ(read(destination / "within.txt"), "abcd");
    EXPECT_EQ(read(destination / "beyond.txt"), "1234");
    EXPECT_EQ(read(destination / "sized.txt"), "12345");

    settings.timeDifTolerance = 11;
    write(destination / "beyond.txt", "abcd", base);
    run();
    EXPECT_EQ(read(destination / "beyond.txt"), "abcd");
}

TEST_F(MirrorFixture, OlderSourceIsCopiedWithAWarningAfterTheReplaceLine)
{
    write(source / "f.txt", "older", 1500000000);
    write(destination / "f.txt", "newer!", 1600000000);
    run();
    EXPECT_EQ(read(destination / "f.txt"), "older");
    const std::string replace = " * Replace changed file " + (destination / "f.txt").string();
    const auto& lines = frontEnd.activityLines;
    const auto at = std::find(lines.begin(), lines.end(), replace);
    ASSERT_NE(at, lines.end());
    ASSERT_NE(at + 1, lines.end());
    EXPECT_EQ(*(at + 1), " *** Warning: Source file is OLDER then destination!");
}

TEST_F(MirrorFixture, DeletedFoldersAreKeptAtEveryDepthButOnlyInCapitals)
{
    fs::create_directories(source / "sub");
    write(destination / "sub" / "DELETED" / "old.txt", "kept");
    write(destination / "Deleted" / "x.txt", "removed");
    write(destination / "sub" / "deleted" / "y.txt", "removed");
    run();
    EXPECT_TRUE(fs::exists(destination / "sub" / "DELETED" / "old.txt"));
    EXPECT_FALSE(fs::exists(destination / "Deleted"));
    EXPECT_FALSE(fs::exists(destination / "sub" / "deleted"));
    EXPECT_TRUE(fs::exists(deleted() / "Deleted" / "x.txt"));
    EXPECT_TRUE(fs::exists(deleted() / "sub" / "deleted" / "y.txt"));
}

TEST_F(MirrorFixture, DotEntriesAreNeitherCopiedNorRemoved)
{
    fs::create_directories(destination);
    write(source / ".hidden", "source only");
    write(destination / ".cache", "destination only");
    run();
    EXPECT_FALSE(fs::exists(destination / ".hidden"));
    EXPECT_TRUE(fs::exists(destination / ".cache"));
}

TEST_F(MirrorFixture, TwoRemovalsOfOneNameInOneMinuteKeepBothVersions)
{
    write(source / "report.txt", "v3", 1600000200);
    write(destination / "report.txt", "v1", 1600000000);
    run();
    write(destination / "report.txt", "v2", 1600000100); // someone edited the copy
    run();
    EXPECT_EQ(read(destination / "report.txt"), "v3");
    EXPECT_EQ(read(deleted() / "report.txt"), "v1");
    EXPECT_EQ(read(deleted() / "report (2).txt"), "v2");
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(MirrorFixture, SizesAreComparedAsWhole64BitValues)
{
    // Same packed time, sizes that differ by exactly 4 GiB: a 32-bit compare would skip it.
    const off_t fourGiB = off_t(1) << 32;
    write(source / "big.img", "tail", 1600000000);
    write(destination / "big.img", "", 1600000000);
    ASSERT_EQ(truncate((destination / "big.img").c_str(), fourGiB + 4), 0); // sparse
    setMtime(destination / "big.img", 1600000000);
    run();
    EXPECT_EQ(fs::file_size(destination / "big.img"), 4u);
    EXPECT_EQ(read(destination / "big.img"), "tail");
}

TEST_F(MirrorFixture, MissingSourceStopsTheRunOrGoesOnByTheFolderErrorMode)
{
    const fs::path other = dir / "other";
    write(other / "o.txt", "o");
    settings.folders.clear();
    settings.folders.add((dir / "nowhere").string(), destination.string());
    settings.folders.add(other.string(), (dir / "other-mirror").string());

    run();
    ASSERT_EQ(frontEnd.messages.size(), 1u);
    EXPECT_EQ(frontEnd.messages[0], " *** ERROR! ***** Missing source folder " + (dir / "nowhere").string());
    EXPECT_FALSE(fs::exists(dir / "other-mirror")); // the run ended

    settings.skipCopyFolderError = true;
    frontEnd.messages.clear();
    run();
    EXPECT_TRUE(frontEnd.messages.empty());
    EXPECT_EQ(read(dir / "other-mirror" / "o.txt"), "o");
    EXPECT_EQ(errorLines().size(), 2u); // one line in each run
}

TEST_F(MirrorFixture, ShortPathsAndDisabledOrMalformedPairsAreSkipped)
{
    settings.folders.clear();
    settings.folders.append({"ab >> " + destination.string(), true});
    settings.folders.append({source.string() + " >> " + (dir / "disabled").string(), false});
    settings.folders.append({"no separator here", true});
    run();
    EXPECT_EQ(frontEnd.messages, std::vector<std::string>{"ERROR: Source or Destination path too short!"});
    EXPECT_TRUE(frontEnd.activityLines.empty()); // nothing logged
    EXPECT_FALSE(fs::exists(dir / "disabled"));
    EXPECT_FALSE(fs::exists(destination));
}

TEST_F(MirrorFixture, StopWithCancelAbortsAfterClosingTheCurrentPair)
{
    for (int i = 0; i < 20; ++i)
        write(source / ("f" + std::to_string(i) + ".txt"), "x");
    fs::create_directories(destination);
    const fs::path second = dir / "second";
    write(second / "s.txt", "s");
    settings.folders.add(second.string(), (dir / "second-mirror").string());

    int copies = 0;
    frontEnd.answerOk = false;
    frontEnd.onEvents = [&] {
        if (frontEnd.statusLines.back().rfind("Copy File ", 0) == 0 && ++copies == 5)
            engine.Stop();
    };
    run();
    ASSERT_EQ(frontEnd.questions.size(), 1u);
    EXPECT_EQ(frontEnd.questions[0].first, "Program Paused");
    EXPECT_EQ(frontEnd.questions[0].second, "The program is paused now.\rContinue operation?");
    EXPECT_EQ(frontEnd.messages, std::vector<std::string>{" *** ERROR! Aborted by user!"});
    int copied = 0;
    for (const auto& entry : fs::directory_iterator(destination))
        copied += entry.is_regular_file();
    EXPECT_EQ(copied, 5); // the file announced when Stop was pressed is still finished
    const auto& lines = frontEnd.activityLines;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[lines.size() - 3].rfind("Mirror Ended on ", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 2], "*****");
    EXPECT_FALSE(fs::exists(dir / "second-mirror"));
    EXPECT_EQ(frontEnd.busyChanges.back(), false);
}

TEST_F(MirrorFixture, StopAnsweredOkContinuesTheRun)
{
    for (int i = 0; i < 5; ++i)
        write(source / ("f" + std::to_string(i) + ".txt"), "x");
    fs::create_directories(destination);
    bool asked = false;
    frontEnd.onEvents = [&] {
        if (!asked) {
            asked = true;
            engine.Stop();
        }
    };
    run();
    EXPECT_EQ(frontEnd.questions.size(), 1u);
    EXPECT_TRUE(frontEnd.messages.empty());
    EXPECT_EQ(read(destination / "f4.txt"), "x");
}

TEST_F(MirrorFixture, ReportRunsAfterTheLastPairWhenEnabled)
{
    int reports = 0;
    engine.setReportSender([&] { ++reports; });
    run();
    EXPECT_EQ(reports, 0);
    settings.sendEMailEnable = true;
    run();
    EXPECT_EQ(reports, 1);
}

TEST_F(MirrorFixture, ALargeFileCopyKeepsServingTheWindowsEvents)
{
    fs::create_directories(destination);
    write(source / "big.img", "");
    ASSERT_EQ(truncate((source / "big.img").c_str(), off_t(130) << 20), 0); // sparse: cheap to make
    int roundsDuringCopy = 0;
    frontEnd.onEvents = [&] { roundsDuringCopy += frontEnd.statusLines.back() == "Copy File big.img"; };
    run();
    EXPECT_EQ(fs::file_size(destination / "big.img"), 130u << 20);
    // After the line, then while the copy runs on a worker and the GUI thread sleeps in the loop.
    EXPECT_GE(roundsDuringCopy, 1);
}
