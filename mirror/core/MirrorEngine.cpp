#include "MirrorEngine.h"

#include "common/core/DateTimeText.h"
#include "common/core/FileCopy.h"
#include "common/core/Trash.h"
#include "mirror/core/MirrorSettings.h"
#include "mirror/core/PackedTime.h"
#include "mirror/core/RunFlag.h"

#include <QDateTime>

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

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool exists(const std::string& path)
{
    struct stat st
    {
    };
    return lstat(path.c_str(), &st) == 0;
}

// "a.txt" -> "a (2).txt", "a (3).txt", ...: an earlier removal under the same name in the
// same minute keeps its place in the DELETED folder.
std::string freeName(const std::string& path)
{
    if (!exists(path))
        return path;
    const auto slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    const std::string stem = path.substr(0, dot);
    const std::string extension = path.substr(dot);
    for (int n = 2;; ++n) {
        std::string candidate = stem + " (" + std::to_string(n) + ")" + extension;
        if (!exists(candidate))
            return candidate;
    }
}

std::string linkText(const std::string& path)
{
    std::string text(PATH_MAX, '\0');
    const ssize_t n = readlink(path.c_str(), text.data(), text.size());
    text.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return text;
}

std::string canonical(const std::string& path)
{
    std::error_code ec;
    auto resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : resolved.lexically_normal().string();
}

bool inside(const std::string& inner, const std::string& outer)
{
    const std::string base = withSlash(outer);
    return inner == outer || withSlash(inner) == base || inner.compare(0, base.size(), base) == 0;
}

} // namespace

MirrorEngine::MirrorEngine(MirrorSettings& settings, const FrontEnd& frontEnd, RunFlag& running)
    : m_settings(settings)
    , m_frontEnd(frontEnd)
    , m_running(running)
    , m_status(frontEnd, settings, running)
    , m_clock([] { return static_cast<long long>(std::time(nullptr)); })
    , m_keepAlive([this] { m_frontEnd.pump.processEvents(); })
{
}

void MirrorEngine::cancel()
{
    m_running.stop();
}

void MirrorEngine::RunMirror()
{
    m_busy = true;
    m_frontEnd.indicator.setBusy(true);
    try {
        m_status.startRun();
        m_running.start();
        // Entries removed while the run serves events must not be read past the list's end.
        const int count = m_settings.folders.count();
        for (int i = 0; i < count && i < m_settings.folders.count(); ++i) {
            if (!m_running.running())
                continue;
            const FolderPair pair = m_settings.folders.at(i);
            const auto paths = pair.split();
            if (!pair.enabled || !paths)
                continue;
            const auto& [source, destination] = *paths;
            m_frontEnd.outlets.showPairPaths(source, destination);
            if (source.size() < 3 || destination.size() < 3) {
                m_frontEnd.asker.showMessage("ERROR: Source or Destination path too short!");
                continue;
            }
            if (overlaps(source, destination)) {
                const std::string text = "Source and destination overlap, pair skipped: " + pair.text;
                if (!m_settings.skipCopyFolderError)
                    m_frontEnd.asker.showMessage(StatusOutput::ErrorPrefix + text);
                m_status.WriteError(text, false);
                continue;
            }
            MirrorPair(source, destination);
        }
        if (m_settings.sendEMailEnable && m_sendReport)
            m_sendReport();
    } catch (...) {
        m_running.stop();
        m_busy = false;
        m_frontEnd.indicator.setBusy(false);
        throw;
    }
    m_running.stop();
    m_busy = false;
    m_frontEnd.indicator.setBusy(false);
}

void MirrorEngine::MirrorPair(const std::string& source, const std::string& destination)
{
    m_status.clearActivity();
    const std::string deletedFolder = deletedFolderFor(destination);
    m_frontEnd.indicator.setTrayState(core::TrayState::Attention, "RP - Mirroring...");
    m_status.WriteStatus(source + "  ==>  " + destination, StatusLevel::Summary);
    m_status.WriteStatus("Mirror Started on " + nowText(), StatusLevel::Summary);
    m_status.WriteStatus("", StatusLevel::Summary);
    m_depth = 0;
    MirrorFolder(source, destination, deletedFolder);
    m_status.WriteStatus("Mirror Ended on " + nowText(), StatusLevel::Summary);
    m_status.WriteStatus("*****", StatusLevel::Summary);
    m_status.WriteStatus("", StatusLevel::Summary);
    m_frontEnd.indicator.setTrayState(core::TrayState::Normal, "RP");
}

void MirrorEngine::MirrorFolder(std::string source, std::string destination, std::string deletedFolder)
{
    if (!m_running.running())
        return;
    const bool stopOnFolderErrors = !m_settings.skipCopyFolderError;
    // Only the pair's own folders may be reached through a link; below them links stay links.
    const bool pairRoot = m_depth == 0;
    if (!FolderListing::isFolder(source, pairRoot)) {
        m_status.WriteError("***** Missing source folder " + source, stopOnFolderErrors);
        return;
    }
    if (!FolderListing::isFolder(destination, pairRoot)) {
        m_status.WriteStatus("Copy New Directory " + destination, StatusLevel::Folder);
        if (const int error = CopyNewFolder(source, destination)) {
            // After a user's abort the run is ending anyway: report, but ask nothing more.
            m_status.WriteError("[" + std::to_string(error) + "] CANNOT COPY DIRECTORY: " + destination,
                stopOnFolderErrors && m_running.running());
        }
        return;
    }
    m_status.WriteStatus(source, StatusLevel::Folder);
    source = withSlash(source);
    destination = withSlash(destination);
    deletedFolder = withSlash(deletedFolder);

    if (!m_running.running())
        return;
    // An unreadable source must never look like an empty one: phase 1 would empty the copy.
    FolderListing sourceList;
    if (!sourceList.read(source)) {
        m_status.WriteError("[" + std::to_string(sourceList.error()) + "] Cannot read folder " + source, false);
        return;
    }
    // The destination's listing also answers phase 2's look-ups: one status call per file.
    FolderListing destinationList;
    if (!destinationList.read(destination)) {
        m_status.WriteError(
            "[" + std::to_string(destinationList.error()) + "] Cannot read folder " + destination, false);
        return;
    }
    removeExtraEntries(destinationList, sourceList, destination, deletedFolder);

    if (!m_running.running())
        return;
    for (const FolderEntry& entry : sourceList.entries()) {
        if (!m_running.running())
            break;
        if (entry.name.front() == '.')
            continue;
        if (entry.kind == FolderEntry::Kind::Folder) {
            ++m_depth;
            MirrorFolder(source + entry.name, destination + entry.name, deletedFolder + entry.name);
            --m_depth;
        } else {
            const FolderEntry* current = destinationList.find(entry.name);
            mirrorEntry(entry, current && !current->gone ? current : nullptr, source, destination, deletedFolder);
        }
    }
}

// Phase 1: what the source no longer has leaves the destination, folders named DELETED aside.
void MirrorEngine::removeExtraEntries(FolderListing& destinationList,
    const FolderListing& sourceList,
    const std::string& destination,
    const std::string& deletedFolder)
{
    for (const FolderEntry& entry : destinationList.entries()) {
        if (!m_running.running())
            break;
        if (entry.name.empty() || entry.name.front() == '.')
            continue;
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
                m_status.WriteError("[" + std::to_string(error) + "] Cannot delete folder " + path, false);
        } else {
            if (original && original->kind != FolderEntry::Kind::Folder)
                continue;
            m_status.WriteStatus(" * Delete file " + path, StatusLevel::Change);
            const int error = RemoveEntry(path, deletedFolder + entry.name);
            removed = error == 0;
            if (!removed)
                m_status.WriteError("[" + std::to_string(error) + "] Cannot delete file " + path, false);
        }
        if (removed)
            destinationList.markGone(entry.name);
    }
}

void MirrorEngine::mirrorEntry(const FolderEntry& source,
    const FolderEntry* current,
    const std::string& sourceFolder,
    const std::string& destinationFolder,
    const std::string& deletedFolder)
{
    if (source.kind == FolderEntry::Kind::Other) {
        m_status.WriteStatus(
            "Skip File " + source.name, StatusLevel::StatusLineOnly); // pipes and devices are not copied
        return;
    }
    const std::string sourcePath = sourceFolder + source.name;
    const std::string target = destinationFolder + source.name;
    const bool found = current != nullptr;
    if (found) {
        const int32_t sourceTime = packedFileTime(source.mtime);
        const int32_t targetTime = packedFileTime(current->mtime);
        bool same = current->kind == source.kind;
        if (same && source.kind == FolderEntry::Kind::Symlink)
            same = linkText(sourcePath) == linkText(target);
        else if (same)
            same = packedTimeDifference(sourceTime, targetTime) <= m_settings.timeDifTolerance
                && current->size == source.size;
        if (same) {
            m_status.WriteStatus("Skip File " + source.name, StatusLevel::StatusLineOnly);
            return;
        }
        m_status.WriteStatus(" * Replace changed file " + target, StatusLevel::Change);
        if (sourceTime < targetTime)
            m_status.WriteStatus(" *** Warning: Source file is OLDER then destination!", StatusLevel::Change);
    }
    m_status.WriteStatus("Copy File " + source.name, StatusLevel::StatusLineOnly);

    // The new copy is complete under a hidden name before the old one is put aside.
    const std::string temporary = core::temporarySibling(target);
    if (exists(temporary))
        unlink(temporary.c_str());
    const int error = source.kind == FolderEntry::Kind::Symlink
        ? core::copySymlink(sourcePath, temporary)
        : core::copyRegularFile(sourcePath, temporary, m_keepAlive);
    if (error) {
        m_status.WriteError("Cannot copy file " + sourcePath, false);
        return;
    }
    const int removeError = found ? RemoveEntry(target, deletedFolder + source.name) : 0;
    if (removeError) {
        // The old copy could not be put aside; keep it rather than overwrite it.
        unlink(temporary.c_str());
        m_status.WriteError("[" + std::to_string(removeError) + "] Cannot delete old file " + target, false);
        m_status.WriteError("Cannot copy file " + sourcePath, false);
        return;
    }
    if (core::renameNoReplace(temporary, target) != 0) {
        unlink(temporary.c_str());
        m_status.WriteError("Cannot copy file " + sourcePath, false);
    }
}

int MirrorEngine::RemoveEntry(const std::string& path, const std::string& deletedPath)
{
    if (m_settings.delOption) {
        const core::TrashResult result = core::moveToTrash(path);
        if (result.outcome == core::TrashResult::Outcome::Trashed)
            return 0;
        if (result.outcome == core::TrashResult::Outcome::Failed)
            return result.error;
        // No trash can be had on this file system: delete for good, never following links.
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        return ec.value();
    }
    std::error_code ignored;
    std::filesystem::create_directories(parentOf(deletedPath), ignored);
    if (rename(path.c_str(), freeName(deletedPath).c_str()) == 0)
        return 0;
    return errno;
}

int MirrorEngine::CopyNewFolder(const std::string& source, const std::string& destination)
{
    return copyTree(source, destination);
}

// Copies a whole folder, hidden entries included, links as links; a failing file is reported
// and the rest still copied. Returns 0 or the first errno.
int MirrorEngine::copyTree(const std::string& source, const std::string& destination)
{
    struct stat folder
    {
    };
    if (stat(source.c_str(), &folder) != 0)
        return errno;
    if (mkdir(destination.c_str(), 0700) != 0)
        return errno;
    FolderListing list;
    int firstError = list.read(source) ? 0 : list.error();
    for (const FolderEntry& entry : list.entries()) {
        if (!m_running.running())
            return ECANCELED;
        const std::string from = source + "/" + entry.name;
        const std::string to = destination + "/" + entry.name;
        int error = 0;
        if (entry.kind == FolderEntry::Kind::Folder) {
            error = copyTree(from, to);
        } else if (entry.kind != FolderEntry::Kind::Other) {
            m_status.WriteStatus("Copy File " + entry.name, StatusLevel::StatusLineOnly);
            error = entry.kind == FolderEntry::Kind::Symlink ? core::copySymlink(from, to)
                                                             : core::copyRegularFile(from, to, m_keepAlive);
            if (error)
                m_status.WriteError("Cannot copy file " + from, false);
        }
        if (error && !firstError)
            firstError = error;
    }
    chmod(destination.c_str(), folder.st_mode & 07777);
    const timespec times[2] = { folder.st_atim, folder.st_mtim };
    utimensat(AT_FDCWD, destination.c_str(), times, 0);
    return firstError;
}

bool MirrorEngine::overlaps(const std::string& source, const std::string& destination) const
{
    const std::string a = canonical(source);
    const std::string b = canonical(destination);
    return inside(a, b) || inside(b, a);
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
