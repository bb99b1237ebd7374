#include "ArchiveRestore.h"

#include "common/core/FileCopy.h"
#include "mirror/core/ArchiveManifest.h"
#include "mirror/core/DestinationLock.h"
#include "mirror/core/FolderListing.h"
#include "mirror/core/StatusOutput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace mirror {

namespace {

constexpr const char* ArchiveName = "DELETED";

bool allDigitsAt(const std::string& text, std::initializer_list<size_t> places)
{
    for (size_t i : places)
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

bool isDateName(const std::string& name)
{
    return name.size() == 10 && name[4] == '-' && name[7] == '-' && allDigitsAt(name, { 0, 1, 2, 3, 5, 6, 8, 9 });
}

bool isTimeName(const std::string& name)
{
    return name.size() == 5 && name[2] == '-' && allDigitsAt(name, { 0, 1, 3, 4 });
}

bool isRunName(const std::string& run)
{
    return run.size() == 16 && run[10] == '/' && isDateName(run.substr(0, 10)) && isTimeName(run.substr(11));
}

std::string withSlash(std::string path)
{
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

// A path below a folder that stays below it: no "..", ".", empty or absolute parts.
bool isPlainRelative(const std::string& path)
{
    if (path.empty() || path.front() == '/')
        return false;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(at, end - at);
        if (part.empty() || part == "." || part == "..")
            return false;
        at = end + 1;
    }
    return true;
}

// Files, links and other non-folders below `folder`: the items of a run without a manifest.
size_t countTree(const std::string& folder)
{
    FolderListing list;
    list.read(folder);
    size_t count = 0;
    for (const FolderEntry& entry : list.entries()) {
        if (entry.kind == FolderEntry::Kind::Folder)
            count += countTree(folder + "/" + entry.name);
        else if (entry.name != ManifestName)
            ++count;
    }
    return count;
}

std::string number(int value)
{
    return "[" + std::to_string(value) + "]";
}

} // namespace

ArchiveRestore::ArchiveRestore(StatusOutput& status)
    : m_status(status)
{
}

std::vector<ArchiveRestore::Run> ArchiveRestore::listRuns(const std::string& destination, int& error)
{
    std::vector<Run> runs;
    const std::string archive = withSlash(destination) + ArchiveName;
    FolderListing dates;
    if (!dates.read(archive)) {
        error = dates.error();
        return runs;
    }
    error = 0;
    for (const FolderEntry& date : dates.entries()) {
        if (date.kind != FolderEntry::Kind::Folder || !isDateName(date.name))
            continue;
        FolderListing times;
        times.read(archive + "/" + date.name);
        for (const FolderEntry& time : times.entries()) {
            if (time.kind != FolderEntry::Kind::Folder || !isTimeName(time.name))
                continue;
            const std::string folder = archive + "/" + date.name + "/" + time.name;
            int manifestError = 0;
            const auto items = readManifest(folder, manifestError);
            const size_t count = manifestError == ENOENT ? countTree(folder) : items.size();
            if (count > 0)
                runs.push_back({ date.name + "/" + time.name, count });
        }
    }
    return runs; // listings are sorted, and so are these names
}

std::string ArchiveRestore::runLine(const Run& run)
{
    return run.name + " " + std::to_string(run.items) + " items";
}

int ArchiveRestore::restore(const std::string& destination, const std::string& run)
{
    m_destination = withSlash(destination);
    const std::string runFolder = m_destination + ArchiveName + "/" + run;
    struct stat st
    {
    };
    if (!isRunName(run) || lstat(runFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        m_status.WriteError("No archived run " + run + " in " + m_destination + ArchiveName, false);
        return 1;
    }
    DestinationLock lock;
    if (lock.take(destination) == DestinationLock::Outcome::Busy) {
        m_status.WriteError("Destination in use by another run, nothing restored: " + destination, false);
        return 1;
    }
    m_stamp = run.substr(0, 10) + " " + run.substr(11);
    m_status.WriteStatus("Restoring " + run + " into " + destination, StatusLevel::Folder);

    int error = 0;
    auto items = readManifest(runFolder, error);
    int failed = 0;
    if (error == ENOENT) {
        failed = restoreTree(runFolder, "");
    } else if (error) {
        m_status.WriteError(number(error) + " Cannot read the manifest of " + runFolder, false);
        return 1;
    } else {
        std::vector<ManifestItem> left;
        for (const ManifestItem& item : items) {
            const bool safe = isPlainRelative(item.path) && isPlainRelative(item.archived);
            if (!safe)
                m_status.WriteError("Not restored, the manifest names a place outside: " + item.path, false);
            if (!safe || !restoreItem(runFolder + "/" + item.archived, item.path)) {
                left.push_back(item);
                ++failed;
            }
        }
        if (const int rewriteError = rewriteManifest(runFolder, left))
            m_status.WriteError(number(rewriteError) + " Cannot rewrite the manifest of " + runFolder, false);
    }
    pruneEmptyFolders(runFolder);
    rmdir((m_destination + ArchiveName + "/" + run.substr(0, 10)).c_str()); // the date, when it was its last run
    return failed;
}

// Moves one archived item back to `relative` below the destination; false after an error line.
bool ArchiveRestore::restoreItem(const std::string& archived, const std::string& relative)
{
    const std::string target = m_destination + relative;
    struct stat st
    {
    };
    if (lstat(archived.c_str(), &st) != 0) {
        m_status.WriteError(number(errno) + " Not in the archive, cannot restore " + target, false);
        return false;
    }
    // The folders on the way back: made where missing, never passed through a link.
    std::string folder = m_destination.substr(0, m_destination.size() - 1);
    for (size_t at = 0;;) {
        const size_t slash = relative.find('/', at);
        if (slash == std::string::npos)
            break;
        folder += "/" + relative.substr(at, slash - at);
        at = slash + 1;
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
            m_status.WriteError(number(errno) + " Cannot make folder " + folder + ", cannot restore " + target, false);
            return false;
        }
        if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            m_status.WriteError("Not a folder: " + folder + ", cannot restore " + target, false);
            return false;
        }
    }
    std::string claimed = target;
    int error = core::renameNoReplace(archived, target);
    if (error == EEXIST || error == ENOTEMPTY)
        error = core::renameToFreeName(archived, besideName(target), claimed);
    if (error) {
        m_status.WriteError(number(error) + " Cannot restore " + target, false);
        return false;
    }
    m_status.WriteStatus(claimed == target ? " * Restored " + target : " * Restored " + target + " as " + claimed,
        StatusLevel::Change);
    return true;
}

// A run archived before manifests existed: its tree is the destination's. What has no place
// comes back whole; a folder whose place is a folder is a way through to the items inside.
int ArchiveRestore::restoreTree(const std::string& archivedFolder, const std::string& relative)
{
    FolderListing list;
    if (!list.read(archivedFolder)) {
        m_status.WriteError(number(list.error()) + " Cannot read folder " + archivedFolder, false);
        return 1;
    }
    int failed = 0;
    for (const FolderEntry& entry : list.entries()) {
        const std::string path = relative.empty() ? entry.name : relative + "/" + entry.name;
        const std::string archived = archivedFolder + "/" + entry.name;
        if (entry.kind == FolderEntry::Kind::Folder && FolderListing::isFolder(m_destination + path, false))
            failed += restoreTree(archived, path);
        else
            failed += restoreItem(archived, path) ? 0 : 1;
    }
    return failed;
}

// "name (restored 2026-12-07 23-45).ext": the run's date and time before the last extension.
std::string ArchiveRestore::besideName(const std::string& target) const
{
    const size_t slash = target.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = target.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = target.size();
    return target.substr(0, dot) + " (restored " + m_stamp + ")" + target.substr(dot);
}

void ArchiveRestore::pruneEmptyFolders(const std::string& folder)
{
    FolderListing list;
    list.read(folder);
    for (const FolderEntry& entry : list.entries())
        if (entry.kind == FolderEntry::Kind::Folder)
            pruneEmptyFolders(folder + "/" + entry.name);
    rmdir(folder.c_str()); // fails, as it should, where something is left
}

} // namespace mirror
