// Exclusions in a run, the line order of parallel copies, and the way back from DELETED.

#include "MirrorFixture.h"

#include "mirror/core/ArchiveManifest.h"
#include "mirror/core/ArchiveRestore.h"
#include "mirror/core/StatusOutput.h"

#include <cstdlib>

namespace {

const std::string ArchivedRun = "2026-03-14/09-30";

std::vector<std::string> withPrefix(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const auto& l : lines)
        if (l.rfind(prefix, 0) == 0)
            found.push_back(l);
    return found;
}

} // namespace

TEST_F(MirrorFixture, ExcludedItemsAreNeitherCopiedNorRemovedInEitherDeleteMode)
{
    const std::string savedHome = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", (dir / "data-home").c_str(), 1);
    for (const bool trash : { false, true }) {
        fs::remove_all(source);
        fs::remove_all(destination);
        settings.delOption = trash;
        settings.exclude = "*.tmp; cache/";
        write(source / "a.txt", "a");
        write(source / "x.tmp", "x");
        write(source / "cache" / "c", "c");
        write(source / "keep" / "cache", "a file, not a folder");
        write(destination / "old.tmp", "old");
        write(destination / "cache" / "old", "old");
        write(destination / "gone.txt", "gone");
        frontEnd.activityLines.clear();
        run();
        EXPECT_EQ(read(destination / "old.tmp"), "old") << trash;
        EXPECT_EQ(read(destination / "cache" / "old"), "old") << trash;
        EXPECT_FALSE(fs::exists(destination / "x.tmp") || fs::exists(destination / "cache" / "c")) << trash;
        EXPECT_FALSE(fs::exists(destination / "gone.txt")) << trash;
        EXPECT_EQ(read(destination / "keep" / "cache"), "a file, not a folder") << trash;
        EXPECT_TRUE(loggedLine("Excluded 2 items in " + source.string())) << trash;
        EXPECT_EQ(errorLines(), std::vector<std::string>()) << trash;
    }
    setenv("XDG_DATA_HOME", savedHome.c_str(), 1);
}

TEST_F(MirrorFixture, AnUnreadablePatternStopsItsPairAndTheRunGoesOn)
{
    settings.skipCopyFolderError = true;
    settings.folders.setExclude(0, "ok.*;[oops");
    const fs::path second = dir / "second";
    settings.folders.add(source.string(), second.string());
    write(source / "a.txt", "a");
    run();
    EXPECT_FALSE(fs::exists(destination));
    EXPECT_EQ(read(second / "a.txt"), "a");
    EXPECT_EQ(errorLines(),
        std::vector<std::string> { " *** ERROR! Exclusion pattern cannot be read, pair skipped: [oops ("
            + settings.folders.at(0).text + ")" });
    EXPECT_EQ(engine.status().errorCount(), 1);
}

// Eight copies at once, and still the lines of a one-by-one copy: replacements, the older
// source's warning and a failed copy each come after the lines of the files before them.
TEST_F(MirrorFixture, ParallelCopiesKeepTheLinesInListingOrder)
{
    std::vector<std::string> expected;
    std::vector<std::string> copies;
    for (int i = 0; i < 40; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%02d.txt", i);
        const std::string bytes(static_cast<size_t>(i) * 1000, 'x');
        write(source / name, bytes, 1700000000);
        const bool same = i % 5 == 0 && i > 0;
        const bool changed = i % 5 == 1;
        if (same) {
            write(destination / name, bytes, 1700000000);
            continue;
        }
        if (changed) { // some of them with an older source
            write(destination / name, "old", i % 10 == 1 ? 1800000000 : 1600000000);
            expected.push_back(" * Replace changed file " + (destination / name).string());
            if (i % 10 == 1)
                expected.push_back(" *** Warning: Source file is OLDER then destination!");
        } else if (i % 7 == 3) { // the temporary name is taken by a folder: the copy fails
            fs::create_directories(destination / (".rpl~" + std::string(name)));
            expected.push_back(" *** ERROR! Cannot copy file " + (source / name).string());
        }
        copies.push_back(std::string("Copy File ") + name);
    }
    engine.copyPace().forceParallel(); // as on a slow share; a local disk copies one by one
    write(source / "m" / "inner.txt", "inner"); // a sub-folder in the middle of the listing
    fs::rename(source / "m", source / "f20.txt.d");
    run();
    std::vector<std::string> seen;
    for (const auto& l : frontEnd.activityLines)
        if (l.rfind(" * ", 0) == 0 || l.rfind(" *** ", 0) == 0)
            seen.push_back(l);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(withPrefix(frontEnd.statusLines, "Copy File f"), copies);
    EXPECT_EQ(read(destination / "f20.txt.d" / "inner.txt"), "inner");
    EXPECT_EQ(read(destination / "f39.txt"), std::string(39000, 'x'));
}

TEST_F(MirrorFixture, ARunWithAManifestComesBackWithoutOverwritingATakenPlace)
{
    const std::string awkward = "tab\there.txt";
    write(source / "a.txt", "first a");
    write(source / awkward, "awkward");
    write(source / "sub" / "b.txt", "b");
    run();
    fs::remove(source / "a.txt");
    fs::remove(source / awkward);
    fs::remove_all(source / "sub");
    run();
    const std::string manifest = read(deleted() / ManifestName);
    EXPECT_EQ(manifest.rfind("a.txt\tfile\t7\t2", 0), 0u) << manifest;
    EXPECT_NE(manifest.find("\r\nsub\tfolder\t0\t"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("\r\ntab\\there.txt\tfile\t7\t"), std::string::npos) << manifest;
    write(destination / "a.txt", "taken"); // somebody put a new file there since

    int error = 0;
    const auto runs = ArchiveRestore::listRuns(destination.string(), error);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(ArchiveRestore::runLine(runs[0]), ArchivedRun + " 3 items");
    frontEnd.activityLines.clear();
    EXPECT_EQ(ArchiveRestore(engine.status()).restore(destination.string(), ArchivedRun), 0);
    EXPECT_EQ(read(destination / "a.txt"), "taken");
    EXPECT_EQ(read(destination / "a (restored 2026-03-14 09-30).txt"), "first a");
    EXPECT_EQ(read(destination / awkward), "awkward");
    EXPECT_EQ(read(destination / "sub" / "b.txt"), "b");
    EXPECT_TRUE(loggedLine(" * Restored " + (destination / "sub").string()));
    EXPECT_FALSE(fs::exists(destination / "DELETED" / "2026-03-14")); // emptied, so gone
    EXPECT_TRUE(ArchiveRestore::listRuns(destination.string(), error).empty());
}

TEST_F(MirrorFixture, ARunArchivedBeforeManifestsComesBackFromItsTree)
{
    const fs::path old = destination / "DELETED" / "2025-01-02" / "03-04";
    write(old / "sub" / "b.txt", "b");
    write(old / "gone" / "x.txt", "x");
    write(old / "gone" / "y.txt", "y");
    write(destination / "sub" / "other.txt", "other");
    int error = 0;
    const auto runs = ArchiveRestore::listRuns(destination.string(), error);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(ArchiveRestore::runLine(runs[0]), "2025-01-02/03-04 3 items");
    EXPECT_EQ(ArchiveRestore(engine.status()).restore(destination.string(), "2025-01-02/03-04"), 0);
    EXPECT_EQ(read(destination / "sub" / "b.txt"), "b");
    EXPECT_EQ(read(destination / "sub" / "other.txt"), "other");
    EXPECT_EQ(read(destination / "gone" / "y.txt"), "y");
    EXPECT_TRUE(loggedLine(" * Restored " + (destination / "gone").string()));
}

TEST_F(MirrorFixture, ARestoreRefusesPlacesOutsideAndRunsThatAreNotThere)
{
    const fs::path runFolder = destination / "DELETED" / "2026-03-14" / "09-30";
    write(runFolder / "x", "x");
    test::writeFile(runFolder / ManifestName, "../outside\tfile\t1\t2026-03-14T09:30:00+00:00\tx\r\n");
    ArchiveRestore restore(engine.status());
    EXPECT_EQ(restore.restore(destination.string(), ArchivedRun), 1);
    EXPECT_FALSE(fs::exists(dir / "outside"));
    EXPECT_EQ(read(runFolder / "x"), "x");
    EXPECT_EQ(restore.restore(destination.string(), "2026-03-14/09-31"), 1);
    EXPECT_EQ(restore.restore(destination.string(), "../../x/y"), 1);
    EXPECT_EQ(errorLines().size(), 3u);
}
