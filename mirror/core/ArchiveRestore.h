#pragma once

// The way back from a destination's archive: lists the runs in DELETED/<yyyy-mm-dd>/<hh-mm>/
// and moves one run's items back to their places.
//
// Promises:
//  - nothing is ever overwritten: an item whose place is taken comes back beside it as
//    "name (restored 2026-12-07 23-45).ext" (the run's date and time, before the last
//    extension; " (2)", " (3)", ... after that when that name is taken too);
//  - items come back by rename only, never through a link: a folder on the way that is a link
//    or a file stops that item with an error line;
//  - a run with a manifest restores the items it lists (paths that would leave the
//    destination are refused); a run archived before manifests existed restores from its
//    folder tree, moving back whole what has no place yet and descending where a folder of the
//    same name is there;
//  - the destination is locked as a mirror run locks it, so the two never meet;
//  - what came back leaves the manifest, and the run's emptied folders go, so listing the
//    archive again shows only what is still there.
// Each item gives a line; failures are error lines.

#include <string>
#include <vector>

namespace mirror {

class StatusOutput;
struct ManifestItem;

class ArchiveRestore
{
public:
    struct Run
    {
        std::string name; // "yyyy-mm-dd/hh-mm"
        size_t items = 0;
    };

    explicit ArchiveRestore(StatusOutput& status);

    // The archived runs of `destination`, oldest first; `error` gets 0 or the errno of a
    // destination or archive that cannot be read (ENOENT when nothing was ever archived).
    static std::vector<Run> listRuns(const std::string& destination, int& error);
    // One line of the listing: "<yyyy-mm-dd>/<hh-mm> <n> items".
    static std::string runLine(const Run& run);

    // Moves the run's items back; returns the number of items that could not be restored
    // (a run that is not there, or a locked destination, counts as one).
    int restore(const std::string& destination, const std::string& run);

private:
    bool restoreItem(const std::string& archived, const std::string& relative);
    int restoreTree(const std::string& archivedFolder, const std::string& relative);
    std::string besideName(const std::string& target) const;
    void pruneEmptyFolders(const std::string& folder);

    StatusOutput& m_status;
    std::string m_destination; // with a final slash
    std::string m_stamp; // "2026-12-07 23-45"
};

} // namespace mirror
