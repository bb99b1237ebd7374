#include "MirrorEngine.h"

#include "common/core/DateTimeText.h"
#include "common/core/FileCopy.h"
#include "common/core/MountTable.h"
#include "common/core/Trash.h"
#include "mirror/core/ArchiveManifest.h"
#include "mirror/core/MirrorSettings.h"
#include "mirror/core/PackedTime.h"
#include "mirror/core/PairOverlap.h"
#include "mirror/core/ParallelCopies.h"

#include <QDateTime>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace mirror {

namespace {

std::string withSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

std::string linkText(const std::string& path)
{
    std::string text(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), text.data(), text.size());
    text.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return text;
}

// At the top of a pair's destination this name holds the removed items.
constexpr const char* ArchiveName = "DELETED";

std::string number(int value)
{
    return "[" + std::to_string(value) + "]";
}

const char* typeName(FolderEntry::Kind kind)
{
    switch (kind) {
    case FolderEntry::Kind::Folder: return "folder";
    case FolderEntry::Kind::File: return "file";
    case FolderEntry::Kind::Symlink: return "link";
    case FolderEntry::Kind::Other: break;
    }
    return "other";
}

// Leaves the progress's folder level however the folder's mirroring ends.
struct FolderLevel
{
    ProgressTracker& tracker;
    FolderLevel(ProgressTracker& t, const std::string& folder, size_t entries)
        : tracker(t)
    {
        tracker.enterFolder(folder, entries);
    }
    ~FolderLevel() { tracker.leaveFolder(); }
    FolderLevel(const FolderLevel&) = delete;
    FolderLevel& operator=(const FolderLevel&) = delete;
};

// Keeps a path below the pair's top for the length of a sub-folder's mirroring.
struct Descend
{
    std::string& relative;
    std::string saved;
    Descend(std::string& r, const std::string& name)
        : relative(r)
        , saved(r)
    {
        relative = relative.empty() ? name : relative + "/" + name;
    }
    ~Descend() { relative = saved; }
    Descend(const Descend&) = delete;
    Descend& operator=(const Descend&) = delete;
};

} // namespace

MirrorEngine::MirrorEngine(MirrorSettings& settings, const FrontEnd& frontEnd, core::StopFlag& stop)
    : m_settings(settings)
    , m_frontEnd(frontEnd)
    , m_stop(stop)
    , m_status(frontEnd, settings, stop)
    , m_tracker(frontEnd.outlets)
    , m_clock([] { return static_cast<long long>(std::time(nullptr)); })
{
}

void MirrorEngine::cancel()
{
    m_stop.raise();
}

void MirrorEngine::RunMirror()
{
    m_busy = true;
    m_frontEnd.indicator.setBusy(true);
    try {
        m_status.startRun();
        m_stop.clear();
        // Entries removed while the run serves events must not be read past the list's end.
        const int count = m_settings.folders.count();
        int enabled = 0;
        for (int i = 0; i < count; ++i)
            enabled += m_settings.folders.at(i).enabled ? 1 : 0;
        m_tracker.startRun(enabled);
        int pairNumber = 0;
        for (int i = 0; i < count && i < m_settings.folders.count(); ++i) {
            if (m_stop.raised())
                continue;
            const FolderPair pair = m_settings.folders.at(i);
            const auto paths = pair.split();
            if (!pair.enabled || !paths)
                continue;
            const auto& [source, destination] = *paths;
            m_tracker.startPair(++pairNumber, pair.text);
            m_frontEnd.outlets.showPairPaths(source, destination);
            if (source.size() < 3 || destination.size() < 3) {
                m_frontEnd.asker.showMessage("ERROR: Source or Destination path too short!");
                continue;
            }
            if (pairOverlaps(source, destination)) {
                const std::string text = "Source and destination overlap, pair skipped: " + pair.text;
                if (!m_settings.skipCopyFolderError)
                    m_frontEnd.asker.showMessage(StatusOutput::ErrorPrefix + text);
                m_status.WriteError(text, false);
                continue;
            }
            if (!compileExclusions(pair))
                continue;
            MirrorPair(source, destination);
        }
        m_tracker.finishRun();
        if (m_settings.sendEMailEnable && m_sendReport)
            m_sendReport();
    } catch (...) {
        m_stop.raise();
        m_busy = false;
        m_frontEnd.indicator.setBusy(false);
        throw;
    }
    m_stop.raise();
    m_busy = false;
    m_frontEnd.indicator.setBusy(false);
}

bool MirrorEngine::compileExclusions(const FolderPair& pair)
{
    std::string bad;
    if (auto rules = ExcludeRules::compile(m_settings.exclude, pair.exclude, bad)) {
        m_rules = std::move(*rules);
        return true;
    }
    // Better nothing than a mirror of what the user meant to leave out.
    const std::string text = "Exclusion pattern cannot be read, pair skipped: " + bad + " (" + pair.text + ")";
    if (!m_settings.skipCopyFolderError)
        m_frontEnd.asker.showMessage(StatusOutput::ErrorPrefix + text);
    m_status.WriteError(text, false);
    return false;
}

void MirrorEngine::MirrorPair(const std::string& source, const std::string& destination)
{
    m_status.clearActivity();
    const std::string deletedFolder = deletedFolderFor(destination);
    m_archiveTop = withSlash(destination);
    m_archiveRoot = deletedFolder;
    m_frontEnd.indicator.setTrayState(core::TrayState::Attention, "RP - Mirroring...");
    m_status.WriteStatus(source + "  ==>  " + destination, StatusLevel::Summary);
    m_status.WriteStatus("Mirror Started on " + nowText(), StatusLevel::Summary);
    m_status.WriteStatus("", StatusLevel::Summary);
    m_depth = 0;
    m_relative.clear();
    m_pace.reset();
    {
        struct Release
        {
            DestinationLock& lock;
            ~Release() { lock.release(); }
        } release { m_pairLock };
        // Whatever goes wrong inside one pair ends that pair only; a log file that cannot be
        // written ends the run, as it must.
        try {
            MirrorFolder(source, destination, deletedFolder);
        } catch (const ELogFileError&) {
            throw;
        } catch (const std::exception& e) {
            m_status.WriteError(std::string("Pair ended by an unexpected error: ") + e.what(), false);
        } catch (...) {
            m_status.WriteError("Pair ended by an unexpected error", false);
        }
    }
    m_status.WriteStatus("Mirror Ended on " + nowText(), StatusLevel::Summary);
    m_status.WriteStatus("*****", StatusLevel::Summary);
    m_status.WriteStatus("", StatusLevel::Summary);
    m_frontEnd.indicator.setTrayState(core::TrayState::Normal, "RP");
}

void MirrorEngine::MirrorFolder(std::string source, std::string destination, std::string deletedFolder)
{
    if (m_stop.raised())
        return;
    const bool stopOnFolderErrors = !m_settings.skipCopyFolderError;
    // Only the pair's own folders may be reached through a link; below them links stay links.
    const bool pairRoot = m_depth == 0;
    struct stat sourceFolder
    {
    };
    if (const int error = FolderListing::statFolder(source, pairRoot, sourceFolder)) {
        if (error == ENOENT || error == ENOTDIR)
            m_status.WriteError("***** Missing source folder " + source, stopOnFolderErrors);
        else
            m_status.WriteError(number(error) + " Cannot read folder " + source, false);
        return;
    }
    struct stat destinationFolder
    {
    };
    if (FolderListing::statFolder(destination, pairRoot, destinationFolder) != 0) {
        m_status.WriteStatus("Copy New Directory " + destination, StatusLevel::Folder);
        bool made = false;
        if (pairRoot) {
            // A pair's new destination is made and locked before anything is copied into it.
            made = mkdir(destination.c_str(), 0700) == 0;
            const int error = made ? 0 : errno;
            if (error && error != EEXIST) {
                reportFolderCopyError(error, destination);
                return;
            }
            if (!lockDestination(destination))
                return;
        }
        if (made || !pairRoot) {
            if (const int error = CopyNewFolder(source, destination, made))
                reportFolderCopyError(error, destination);
            return;
        }
        // Another run made the folder a moment ago and has let go of it: mirror into it.
        if (const int error = FolderListing::statFolder(destination, true, destinationFolder)) {
            reportFolderCopyError(error, destination);
            return;
        }
    } else if (pairRoot && !lockDestination(destination)) {
        return;
    }
    const std::string destinationPath = destination;
    m_status.WriteStatus(source, StatusLevel::Folder);
    const std::string sourcePath = source;
    source = withSlash(source);
    destination = withSlash(destination);
    deletedFolder = withSlash(deletedFolder);

    if (m_stop.raised())
        return;
    // A source that cannot be read whole must never look like a smaller one: phase 1 would
    // take from the copy what the source still has.
    FolderListing sourceList;
    if (!sourceList.read(source)) {
        m_status.WriteError(number(sourceList.error()) + " Cannot read folder " + sourcePath, false);
        return;
    }
    // The destination's listing also answers phase 2's look-ups: one status call per file.
    FolderListing destinationList;
    if (!destinationList.read(destination)) {
        m_status.WriteError(number(destinationList.error()) + " Cannot read folder " + destinationPath, false);
        return;
    }
    FolderLevel level(m_tracker, sourcePath, sourceList.entries().size());
    if (const size_t left = countExcluded(sourceList))
        writeExcludedLine(left, sourcePath);
    removeExtraEntries(destinationList, sourceList, destination, deletedFolder);

    if (m_stop.raised())
        return;
    ParallelCopies copies(m_stop, m_pace);
    prepareCopies(copies);
    size_t index = 0;
    for (const FolderEntry& entry : sourceList.entries()) {
        m_tracker.at(index++);
        if (m_stop.raised())
            break;
        if (entry.name.front() == '.' || isExcluded(entry))
            continue;
        m_tracker.countItem();
        if (pairRoot && entry.name == ArchiveName && archiveInTheWay(entry, destinationList)) {
            inOrder(copies, [this, path = source + entry.name] { reportArchiveName(path); });
            continue;
        }
        if (entry.kind == FolderEntry::Kind::Folder) {
            copies.drain();
            if (m_stop.raised())
                break;
            ++m_depth;
            const Descend into(m_relative, entry.name);
            MirrorFolder(source + entry.name, destination + entry.name, deletedFolder + entry.name);
            --m_depth;
        } else {
            const FolderEntry* current = destinationList.find(entry.name);
            mirrorEntry(
                entry, current && !current->gone ? current : nullptr, source, destination, deletedFolder, copies);
        }
        m_tracker.tick(copies.bytesInFlight());
    }
    copies.drain();
    // Permission bits (and owners, run as root) follow the source's, also where a killed
    // whole-folder copy left a folder private to its maker.
    if (!m_stop.raised())
        core::carryFolderAttributes(sourceFolder, destinationFolder, destinationPath, pairRoot);
}

bool MirrorEngine::lockDestination(const std::string& destination)
{
    if (m_pairLock.take(destination) != DestinationLock::Outcome::Busy)
        return true;
    m_status.WriteError("Destination in use by another run, pair skipped: " + destination, false);
    return false;
}

void MirrorEngine::reportFolderCopyError(int error, const std::string& destination)
{
    // After a user's abort the run is ending anyway: report, but ask nothing more.
    m_status.WriteError(number(error) + " CANNOT COPY DIRECTORY: " + destination,
        !m_settings.skipCopyFolderError && !m_stop.raised());
}

// The user's own DELETED at the top of the source would mix with the archive of removed
// items (and an archive could be moved into itself), so it is left where it is and reported.
bool MirrorEngine::archiveInTheWay(const FolderEntry& sourceEntry, const FolderListing& destinationList) const
{
    if (sourceEntry.kind == FolderEntry::Kind::Folder)
        return true;
    const FolderEntry* there = destinationList.find(ArchiveName);
    return there && !there->gone && there->kind == FolderEntry::Kind::Folder;
}

void MirrorEngine::reportArchiveName(const std::string& sourcePath)
{
    m_status.WriteError("Not mirrored, DELETED at the top of a pair holds removed items: " + sourcePath, false);
}

// Phase 1: what the source no longer has leaves the destination, folders named DELETED aside.
void MirrorEngine::removeExtraEntries(FolderListing& destinationList,
    const FolderListing& sourceList,
    const std::string& destination,
    const std::string& deletedFolder)
{
    for (const FolderEntry& entry : destinationList.entries()) {
        if (m_stop.raised())
            break;
        if (entry.name.empty())
            continue;
        if (entry.name.front() == '.') {
            // What a killed copy left under a temporary name; never a hidden file of the source.
            const bool copyKind = entry.kind == FolderEntry::Kind::File || entry.kind == FolderEntry::Kind::Symlink;
            if (copyKind && core::isTemporaryName(entry.name) && !sourceList.find(entry.name))
                removeUnfinishedCopy(destination + entry.name);
            continue;
        }
        if (isExcluded(entry))
            continue; // what the pair leaves out stays in the destination as it is
        const FolderEntry* original = sourceList.find(entry.name);
        const std::string path = destination + entry.name;
        bool removed = false;
        if (entry.kind == FolderEntry::Kind::Folder) {
            if ((original && original->kind == FolderEntry::Kind::Folder) || entry.name == "DELETED")
                continue;
            m_status.WriteStatus(" * DELETING FOLDER " + path, StatusLevel::Folder);
            const int error = RemoveEntry(path, deletedFolder + entry.name);
            removed = error == 0;
            if (!removed)
                m_status.WriteError(number(error) + " Cannot delete folder " + path, false);
        } else {
            if (original && original->kind != FolderEntry::Kind::Folder)
                continue;
            m_status.WriteStatus(" * Delete file " + path, StatusLevel::Change);
            const int error = RemoveEntry(path, deletedFolder + entry.name);
            removed = error == 0;
            if (!removed)
                m_status.WriteError(number(error) + " Cannot delete file " + path, false);
        }
        if (removed)
            destinationList.markGone(entry.name);
    }
}

void MirrorEngine::removeUnfinishedCopy(const std::string& path)
{
    if (unlink(path.c_str()) == 0)
        m_status.WriteStatus(" * Remove unfinished copy " + path, StatusLevel::Change);
    else if (errno != ENOENT)
        m_status.WriteError(number(errno) + " Cannot delete file " + path, false);
}

void MirrorEngine::mirrorEntry(const FolderEntry& source,
    const FolderEntry* current,
    const std::string& sourceFolder,
    const std::string& destinationFolder,
    const std::string& deletedFolder,
    ParallelCopies& copies)
{
    if (source.kind == FolderEntry::Kind::Other) {
        // pipes and devices are not copied
        inOrder(copies, [this, name = source.name] { m_status.WriteStatus("Skip File " + name, StatusLevel::StatusLineOnly); });
        return;
    }
    const std::string sourcePath = sourceFolder + source.name;
    const std::string target = destinationFolder + source.name;
    const bool found = current != nullptr;
    bool older = false;
    if (found) {
        const int32_t sourceTime = packedFileTime(source.mtime);
        const int32_t targetTime = packedFileTime(current->mtime);
        bool same = current->kind == source.kind;
        if (same && source.kind == FolderEntry::Kind::Symlink)
            same = linkText(sourcePath) == linkText(target);
        else if (same) // a tolerance below 0 would make every file differ from its copy
            same = packedTimeDifference(sourceTime, targetTime) <= std::max(0, m_settings.timeDifTolerance)
                && current->size == source.size;
        if (same) {
            const bool ownerDiffers = (current->uid != source.uid || current->gid != source.gid) && core::keepsOwners();
            inOrder(copies, [this, source, target, ownerDiffers] {
                m_status.WriteStatus("Skip File " + source.name, StatusLevel::StatusLineOnly);
                if (ownerDiffers)
                    keepOwner(source, target);
            });
            return;
        }
        older = sourceTime < targetTime;
    }

    // The new copy is complete under a hidden name before the old one is put aside. The name
    // is claimed exclusively: one that another writer holds is never taken over. A new file
    // goes into place on the worker; a changed one waits for its old copy to be put aside.
    const std::string temporary = core::temporarySibling(target);
    const bool link = source.kind == FolderEntry::Kind::Symlink;
    ParallelCopies::Step step;
    step.begin = [this, found, older, target, name = source.name] {
        if (found) {
            m_status.WriteStatus(" * Replace changed file " + target, StatusLevel::Change);
            if (older)
                m_status.WriteStatus(" *** Warning: Source file is OLDER then destination!", StatusLevel::Change);
        }
        m_status.WriteStatus("Copy File " + name, StatusLevel::StatusLineOnly);
    };
    step.copy = [sourcePath, temporary, target, link, found](const core::CopyProgress& progress) {
        int error = link ? core::copySymlink(sourcePath, temporary) : core::copyRegularFile(sourcePath, temporary, progress);
        if (!error && !found) {
            error = core::renameNoReplace(temporary, target);
            if (error)
                unlink(temporary.c_str());
        }
        return error;
    };
    step.finish = [this, sourcePath, temporary, target, found, deleted = deletedFolder + source.name,
                      size = source.size](int error) {
        if (error) {
            m_status.WriteError("Cannot copy file " + sourcePath, false);
            return;
        }
        if (found) {
            if (const int removeError = RemoveEntry(target, deleted)) {
                // The old copy could not be put aside; keep it rather than overwrite it.
                unlink(temporary.c_str());
                m_status.WriteError(number(removeError) + " Cannot delete old file " + target, false);
                m_status.WriteError("Cannot copy file " + sourcePath, false);
                return;
            }
            if (core::renameNoReplace(temporary, target) != 0) {
                unlink(temporary.c_str());
                m_status.WriteError("Cannot copy file " + sourcePath, false);
                return;
            }
        }
        m_tracker.fileCopied(size);
    };
    if (found)
        step.discard = [temporary] { unlink(temporary.c_str()); };
    step.bytes = link ? 0 : source.size;
    copies.add(std::move(step));
}

void MirrorEngine::inOrder(ParallelCopies& copies, std::function<void()> step)
{
    if (copies.idle()) {
        step();
        return;
    }
    ParallelCopies::Step later;
    later.begin = std::move(step);
    copies.add(std::move(later));
}

void MirrorEngine::prepareCopies(ParallelCopies& copies)
{
    copies.setTick([this, &copies] {
        m_tracker.tick(copies.bytesInFlight());
        m_frontEnd.pump.processEvents();
    });
}

std::string MirrorEngine::relativeOf(const std::string& name) const
{
    return m_relative.empty() ? name : m_relative + "/" + name;
}

bool MirrorEngine::isExcluded(const FolderEntry& entry) const
{
    return !m_rules.empty() && m_rules.excluded(relativeOf(entry.name), entry.kind == FolderEntry::Kind::Folder);
}

size_t MirrorEngine::countExcluded(const FolderListing& sourceList) const
{
    if (m_rules.empty())
        return 0;
    size_t count = 0;
    for (const FolderEntry& entry : sourceList.entries())
        count += entry.name.front() != '.' && isExcluded(entry) ? 1 : 0;
    return count;
}

void MirrorEngine::writeExcludedLine(size_t count, const std::string& sourceFolder)
{
    m_status.WriteStatus(
        "Excluded " + std::to_string(count) + (count == 1 ? " item in " : " items in ") + sourceFolder, StatusLevel::Folder);
}

// An unchanged entry whose owner alone differs (a mirror made before owners were kept, or a
// change of owner in the source) gets the source's owner; its contents stay as they are.
void MirrorEngine::keepOwner(const FolderEntry& source, const std::string& target)
{
    if (lchown(target.c_str(), source.uid, source.gid) != 0) {
        m_status.WriteError(number(errno) + " Cannot give its owner to " + target, false);
        return;
    }
    // A change of owner clears the set-user-id and set-group-id bits of a file.
    if (source.kind == FolderEntry::Kind::File && (source.mode & 06000))
        chmod(target.c_str(), source.mode & 07777);
}

int MirrorEngine::RemoveEntry(const std::string& path, const std::string& deletedPath)
{
    std::string claimed;
    if (m_settings.delOption) {
        if (core::moveToTrash(path).outcome == core::TrashResult::Outcome::Trashed)
            return 0;
        // No trash can take the item (none on its mount, or none that a rename reaches): the
        // DELETED folder keeps it as in the other mode. Nothing is ever deleted for good.
        const int error = moveAside(path, deletedPath, claimed);
        if (error == 0)
            m_status.WriteStatus(" * No trash for " + path + ", moved into " + claimed, StatusLevel::Change);
        return error;
    }
    return moveAside(path, deletedPath, claimed);
}

int MirrorEngine::moveAside(const std::string& path, const std::string& deletedPath, std::string& claimed)
{
    const auto slash = deletedPath.find_last_of('/');
    std::string folder;
    if (const int error = makeArchiveFolder(deletedPath.substr(0, slash), folder))
        return error;
    FolderEntry before;
    FolderListing::stat(path, before);
    const int error = core::renameToFreeName(path, folder + deletedPath.substr(slash), claimed);
    if (error == 0)
        recordInManifest(path, before, claimed);
    return error;
}

// A way back: what lies where in the run's archive, and where it came from.
void MirrorEngine::recordInManifest(const std::string& path, const FolderEntry& before, const std::string& claimed)
{
    const std::string root = m_archiveRoot + "/";
    if (path.rfind(m_archiveTop, 0) != 0 || claimed.rfind(root, 0) != 0)
        return; // outside the pair's own archive (not reached by a run)
    ManifestItem item;
    item.path = path.substr(m_archiveTop.size());
    item.type = typeName(before.kind);
    item.size = before.kind == FolderEntry::Kind::Folder ? 0 : before.size;
    item.mtime = before.mtime;
    item.archived = claimed.substr(root.size());
    if (const int error = appendToManifest(m_archiveRoot, item))
        m_status.WriteError(number(error) + " Cannot write the manifest " + root + ManifestName, false);
}

// Makes the folder chain of `wanted` in the pair's dated DELETED folder, never through a link.
// Below the dated folder a name that an earlier removal of the same minute left as a file or
// a link (the source changed an entry's type in between) is passed by "name (2)", "name (3)",
// ..., so nothing has to give way and nothing lands outside the archive. `made` gets the
// folder reached. Returns 0 or the errno of the failure.
int MirrorEngine::makeArchiveFolder(const std::string& wanted, std::string& made)
{
    if (!core::pathWithin(wanted, m_archiveRoot) || m_archiveRoot.size() <= m_archiveTop.size()) {
        std::error_code ec;
        std::filesystem::create_directories(wanted, ec);
        made = wanted;
        return ec.value();
    }
    made = m_archiveTop.substr(0, m_archiveTop.size() - 1); // "" for the root folder
    const auto walk = [&](const std::string& relative, bool mayPass) {
        for (size_t at = 0; at < relative.size();) {
            size_t end = relative.find('/', at);
            if (end == std::string::npos)
                end = relative.size();
            if (end > at)
                if (const int error = enterArchiveFolder(made, relative.substr(at, end - at), mayPass))
                    return error;
            at = end + 1;
        }
        return 0;
    };
    if (const int error = walk(m_archiveRoot.substr(m_archiveTop.size()), false))
        return error;
    return wanted.size() > m_archiveRoot.size() ? walk(wanted.substr(m_archiveRoot.size() + 1), true) : 0;
}

int MirrorEngine::enterArchiveFolder(std::string& at, const std::string& name, bool mayPass)
{
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = at + "/" + (n == 1 ? name : name + " (" + std::to_string(n) + ")");
        struct stat st
        {
        };
        if (lstat(candidate.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return errno;
            if (mkdir(candidate.c_str(), 0777) != 0 && errno != EEXIST)
                return errno;
            if (lstat(candidate.c_str(), &st) != 0)
                return errno;
        }
        if (S_ISDIR(st.st_mode)) {
            at = candidate;
            return 0;
        }
        if (!mayPass)
            return ENOTDIR;
    }
    return ENOTDIR;
}

int MirrorEngine::CopyNewFolder(const std::string& source, const std::string& destination, bool made)
{
    // One queue for the whole tree: copies overlap across its folders (a share serialises
    // the creation of files within one folder), and the lines still come in tree order.
    int firstError = 0;
    {
        ParallelCopies copies(m_stop, m_pace);
        prepareCopies(copies);
        copyTree(source, destination, made, m_depth == 0, copies, firstError);
        copies.drain();
        if (copies.gaveUp() && !firstError)
            firstError = ECANCELED; // stopped before every entry was copied
    }
    return firstError;
}

// Copies a whole folder, hidden entries included, links as links; a failing file is reported
// and the rest still copied. `made`: the destination folder exists already (made by the
// caller); `pairTop`: it is the top of a pair, where DELETED is the archive's name. Files go
// into `copies`; `firstError` gets the first errno once they are done. The folder's own mode
// and time are set by a step after its entries', since every file written changes them.
void MirrorEngine::copyTree(const std::string& source,
    const std::string& destination,
    bool made,
    bool pairTop,
    ParallelCopies& copies,
    int& firstError)
{
    const auto fail = [&firstError](int error) {
        if (!firstError)
            firstError = error;
    };
    struct stat folder
    {
    };
    if (stat(source.c_str(), &folder) != 0)
        return fail(errno);
    if (!made && mkdir(destination.c_str(), 0700) != 0)
        return fail(errno);
    FolderListing list;
    if (!list.read(source)) {
        fail(list.error());
        inOrder(copies, [this, line = number(list.error()) + " Cannot read folder " + source] {
            m_status.WriteError(line, false);
        });
    }
    FolderLevel level(m_tracker, source, list.entries().size());
    if (const size_t left = countExcluded(list))
        inOrder(copies, [this, left, source] { writeExcludedLine(left, source); });
    size_t index = 0;
    for (const FolderEntry& entry : list.entries()) {
        m_tracker.at(index++);
        if (m_stop.raised())
            return fail(ECANCELED);
        if (entry.name.front() != '.' && isExcluded(entry))
            continue;
        m_tracker.countItem();
        const std::string from = source + "/" + entry.name;
        const std::string to = destination + "/" + entry.name;
        if (pairTop && entry.name == ArchiveName) {
            inOrder(copies, [this, from] { reportArchiveName(from); });
        } else if (entry.kind == FolderEntry::Kind::Folder) {
            const Descend into(m_relative, entry.name);
            copyTree(from, to, false, false, copies, firstError);
        } else if (entry.kind != FolderEntry::Kind::Other) {
            const bool link = entry.kind == FolderEntry::Kind::Symlink;
            ParallelCopies::Step step;
            step.begin = [this, name = entry.name] {
                m_status.WriteStatus("Copy File " + name, StatusLevel::StatusLineOnly);
            };
            step.copy = [from, to, link](const core::CopyProgress& progress) {
                return link ? core::copySymlink(from, to) : core::copyRegularFile(from, to, progress);
            };
            step.bytes = link ? 0 : entry.size;
            step.finish = [this, from, size = entry.size, fail](int error) {
                if (!error) {
                    m_tracker.fileCopied(size);
                    return;
                }
                m_status.WriteError("Cannot copy file " + from, false);
                fail(error);
            };
            copies.add(std::move(step));
        }
        m_tracker.tick(copies.bytesInFlight());
    }
    inOrder(copies, [folder, destination] {
        struct stat made_
        {
        };
        if (lstat(destination.c_str(), &made_) == 0 && S_ISDIR(made_.st_mode))
            core::carryFolderAttributes(folder, made_, destination, false);
        const timespec times[2] = { folder.st_atim, folder.st_mtim };
        utimensat(AT_FDCWD, destination.c_str(), times, AT_SYMLINK_NOFOLLOW);
    });
}

std::string MirrorEngine::deletedFolderFor(const std::string& destination) const
{
    const time_t now = static_cast<time_t>(m_clock());
    tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d/%H-%M", &local);
    return withSlash(destination) + "DELETED/" + stamp;
}

std::string MirrorEngine::nowText() const
{
    return core::dateTimeText(QDateTime::fromSecsSinceEpoch(m_clock()));
}

void MirrorEngine::Stop()
{
    if (!m_busy)
        return;
    if (!m_frontEnd.asker.askOkCancel(PauseTitle, PauseText))
        m_status.WriteError("Aborted by user!", true);
}

} // namespace mirror
