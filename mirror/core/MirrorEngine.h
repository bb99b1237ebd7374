#pragma once

// Makes each enabled destination folder a copy of its source, folder by folder, depth first.
// Per folder, phase 1 removes what the source no longer has (to the trash, or moved into the
// pair's dated DELETED folder) and phase 2 copies what is new or changed and descends into
// sub-folders. Nothing is ever deleted for good while a trash or the DELETED folder can take it.
//
// Guarantees beyond a plain copy loop:
//  - symbolic links are never followed; a link is mirrored as a link with the same target text;
//  - a changed file is written under a hidden temporary name (".rpl~" and the name, claimed
//    exclusively) and renamed over, so the old copy goes away only once the new one is
//    complete, and a source that cannot be read leaves the destination as it was; temporary
//    files a killed run left are removed when their folder is mirrored again;
//  - a DELETED target name that is taken gets " (2)", " (3)", ... before its extension, each
//    name claimed without replacing anything;
//  - in trash mode an item that no trash can take goes into the DELETED folder: nothing is
//    ever deleted for good;
//  - a folder that cannot be read whole is an error line, and nothing of its copy is removed;
//  - a run holds an exclusive lock on each pair's destination folder while it works on it; a
//    second run leaves that pair alone with an error line;
//  - a pair whose source and destination overlap, by name, through a link or through a mount,
//    is refused untouched;
//  - at the top of a pair, DELETED is the archive's: a source folder of that name is reported
//    and left out rather than mixed with it;
//  - run as root, owners and groups are kept (files, folders, links); folders get the
//    source's permission bits;
//  - an unexpected error ends its pair with an error line; the run goes on;
//  - items the pair's exclusion patterns match are neither copied nor removed; a pattern that
//    cannot be read stops its pair untouched;
//  - every item moved into the dated DELETED folder gets a line in that folder's manifest,
//    so a run can be put back (ArchiveRestore);
//  - on a slow destination up to eight files are copied at once on worker threads, those of
//    one folder, or of a whole new tree (ParallelCopies, CopyPace); their lines still come in
//    listing order, each as a one-by-one copy would write it.
//
// The engine runs on the GUI thread; every status line lets the front end serve its events,
// which is how Stop reaches a run. The stop flag is read before each pair, on entry to each
// folder, before phase 1 and each of its entries, between the phases and before each
// entry of phase 2.

#include "common/core/StopFlag.h"
#include "mirror/core/DestinationLock.h"
#include "mirror/core/ExcludeRules.h"
#include "mirror/core/FolderListing.h"
#include "mirror/core/FrontEnd.h"
#include "mirror/core/ParallelCopies.h"
#include "mirror/core/RunProgress.h"
#include "mirror/core/StatusOutput.h"

#include <functional>
#include <string>

namespace mirror {

struct FolderPair;
struct MirrorSettings;

class MirrorEngine
{
public:
    // `stop` is the program's stop flag, owned by its controller: a run clears it at its start
    // and raises it at its end.
    MirrorEngine(MirrorSettings& settings, const FrontEnd& frontEnd, core::StopFlag& stop);

    // One complete run over the folder-pair list; the report sender, when set, is its last step.
    void RunMirror();

    // The Stop button: asks "Program Paused"; Cancel aborts the run.
    void Stop();
    // Raises the stop flag without asking (closing the window).
    void cancel();

    bool isBusy() const { return m_busy; }
    StatusOutput& status() { return m_status; }
    const RunProgress& progress() const { return m_tracker.progress(); }
    CopyPace& copyPace() { return m_pace; }

    // Runs at the end of every run when mail reports are enabled.
    void setReportSender(std::function<void()> sender) { m_sendReport = std::move(sender); }
    // The clock used for the DELETED folder name and the pair lines (tests pin it).
    void setClock(std::function<long long()> secondsSinceEpoch) { m_clock = std::move(secondsSinceEpoch); }

    static constexpr const char* PauseTitle = "Program Paused";
    static constexpr const char* PauseText = "The program is paused now.\rContinue operation?";

private:
    void MirrorPair(const std::string& source, const std::string& destination);
    // False, with an error line, when a pattern of the pair cannot be read.
    bool compileExclusions(const FolderPair& pair);
    void MirrorFolder(std::string source, std::string destination, std::string deletedFolder);
    // Both return 0 or the errno of the failure. `made`: the destination folder was just made.
    int RemoveEntry(const std::string& path, const std::string& deletedPath);
    int CopyNewFolder(const std::string& source, const std::string& destination, bool made = false);

    void removeExtraEntries(FolderListing& destinationList,
        const FolderListing& sourceList,
        const std::string& destination,
        const std::string& deletedFolder);
    void mirrorEntry(const FolderEntry& source,
        const FolderEntry* current,
        const std::string& sourceFolder,
        const std::string& destinationFolder,
        const std::string& deletedFolder,
        ParallelCopies& copies);
    void copyTree(const std::string& source,
        const std::string& destination,
        bool made,
        bool pairTop,
        ParallelCopies& copies,
        int& firstError);
    // Runs `step` after the steps queued before it, at once when there are none.
    void inOrder(ParallelCopies& copies, std::function<void()> step);
    void prepareCopies(ParallelCopies& copies);
    // The path of `name` below the pair's top, and whether the pair leaves it out.
    std::string relativeOf(const std::string& name) const;
    bool isExcluded(const FolderEntry& entry) const;
    // How many of a folder's source items the pair leaves out, and the one line telling it.
    size_t countExcluded(const FolderListing& sourceList) const;
    void writeExcludedLine(size_t count, const std::string& sourceFolder);
    void recordInManifest(const std::string& path, const FolderEntry& before, const std::string& claimed);
    int moveAside(const std::string& path, const std::string& deletedPath, std::string& claimed);
    int makeArchiveFolder(const std::string& wanted, std::string& made);
    static int enterArchiveFolder(std::string& at, const std::string& name, bool mayPass);
    void removeUnfinishedCopy(const std::string& path);
    void keepOwner(const FolderEntry& source, const std::string& target);
    // False (with an error line) when another run holds the pair's destination.
    bool lockDestination(const std::string& destination);
    void reportFolderCopyError(int error, const std::string& destination);
    bool archiveInTheWay(const FolderEntry& sourceEntry, const FolderListing& destinationList) const;
    void reportArchiveName(const std::string& sourcePath);
    std::string deletedFolderFor(const std::string& destination) const;
    std::string nowText() const;

    MirrorSettings& m_settings;
    FrontEnd m_frontEnd;
    core::StopFlag& m_stop;
    bool m_busy = false;
    StatusOutput m_status;
    int m_depth = 0;
    std::string m_relative; // the folder being mirrored, below the pair's top ("" at the top)
    ExcludeRules m_rules;
    ProgressTracker m_tracker;
    CopyPace m_pace; // whether the pair's destination is slow enough for parallel copies
    DestinationLock m_pairLock;
    std::string m_archiveTop; // the pair's destination with a final slash
    std::string m_archiveRoot; // its dated DELETED folder
    std::function<void()> m_sendReport;
    std::function<long long()> m_clock;
};

} // namespace mirror
