#include "MirrorEngine.h"

#include "common/core/DateTimeText.h"
#include "common/core/FileCopy.h"
#include "common/core/Trash.h"
#include "mirror/core/MirrorFrontEnd.h"
#include "mirror/core/MirrorSettings.h"
#include "mirror/core/PackedTime.h"

#include <QDateTime>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

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
    struct stat st{};
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

MirrorEngine::MirrorEngine(MirrorSettings& settings, MirrorFrontEnd& frontEnd)
    : m_settings(settings)
    , m_frontEnd(frontEnd)
    , m_status(frontEnd, settings, m_running)
    , m_clock([] { return static_cast<long long>(std::time(nullptr)); })
    , m_keepAlive([this] { m_frontEnd.processEvents(); })
{
}

void MirrorEngine::RunMirror()
{
    m_busy = true;
    m_frontEnd.setBusy(true);
    try {
        m_status.startRun();
        m_running = true;
        // Entries removed while the run serves events must not be read past the list's end.
        const int count = m_settings.folders.count();
        for (int i = 0; i < count && i < m_settings.folders.count(); ++i) {
            if (!m_running)
                continue;
            const FolderPair pair = m_settings.folders.at(i);
            const auto paths = pair.split();
            if (!pair.enabled || !paths)
                continue;
            const auto& [source, destination] = *paths;
            m_frontEnd.showPairPaths(source, destination);
            if (source.size() < 3 || destination.size() < 3) {
                m_frontEnd.showMessage("ERROR: Source or Destination path too short!");
                continue;
            }
            if (overlaps(source, destination)) {
                const std::string text = "Source and destination overlap, pair skipped: " + pair.text;
                if (!m_settings.skipCopyFolderError)
                    m_frontEnd.showMessage(StatusOutput::ErrorPrefix + text);
                m_status.WriteError(text, false);
                continue;
            }
            MirrorPair(source, destination);
        }
        if (m_settings.sendEMailEnable && m_sendReport)
            m_sendReport();
    } catch (...) {
        m_running = false;
        m_busy = false;
        m_frontEnd.setBusy(false);
        throw;
    }
    m_running = false;
    m_busy = false;
    m_frontEnd.setBusy(false);
}

void MirrorEngine::MirrorPair(const std::string& source, const std::string& destination)
{
    m_status.clearActivity();
    const std::string deletedFolder = deletedFolderFor(destination);
    m_frontEnd.setTrayState(1, "RP - Mirroring...");
    m_status.WriteStatus(source + "  ==>  " + destination, 3);
    m_status.WriteStatus("Mirror Started on " + nowText(), 3);
    m_status.WriteStatus("", 3);
    m_depth = 0;
    MirrorFolder(source, destination, deletedFolder);
    m_status.WriteStatus("Mirror Ended on " + nowText(), 3);
    m_status.WriteStatus("*****", 3);
    m_status.WriteStatus("", 3);
    m_frontEnd.setTrayState(0, "RP");
}

void MirrorEngine::MirrorFolder(std::string source, std::string destination, std::string deletedFolder)
{
    if (!m_running)
        return;
    const bool stopOnFolderErrors = !m_settings.skipCopyFolderError;
    // Only the pair's own folders may be reached through a link; below them links stay links.
    const bool pairRoot = m_depth == 0;
    if (!FolderListing::isFolder(source, pairRoot)) {
        m_status.WriteError("***** Missing source folder " + source, stopOnFolderErrors);
        return;
    }
    if (!FolderListing::isFolder(destination, pairRoot)) {
        m_status.WriteStatus("Copy New Directory " + destination, 2);
        if (!CopyNewFolder(source, destination)) {
            // After a user's abort the run is ending anyway: report, but ask nothing more.
            m_status.WriteError("[" + std::to_string(m_lastShellResult) + "] CANNOT COPY DIRECTORY: " + destination,
                                stopOnFolderErrors && m_running);
        }
        return;
    }
    m_status.WriteStatus(source, 2);
    source = withSlash(source);
    destination = withSlash(destination);
    deletedFolder = withSlash(deletedFolder);

    if (!m_running)
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
        m_status.WriteError("[" + std::to_string(destinationList.error()) + "] Cannot read folder " + destination,
                            false);
        return;
    }
    removeExtraEntries(destinationList, sourceList, destination, deletedFolder);

    if (!m_running)
        return;
    for (const FolderEntry& entry : sourceList.entries()) {
        if (!m_running)
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
void MirrorEngine::removeExtraEntries(FolderListing& destinationList, const FolderListing& sourceList,
                                      const std::string& destination, const std::string& deletedFolder)
{
    for (const FolderEntry& entry : destinationList.entries()) {
        if (!m_running)
            break;
        if (entry.name.empty() || entry.name.front() == '.')
            continue;
        const FolderEntry* original = sourceList.find(entry.name);
        const std::string path = destination + entry.name;
        bool removed = false;
        if (entry.kind == FolderEntry::Kind::Folder) {
            if ((original && original->kind == FolderEntry::Kind::Folder) || entry.name == "DELETED")
                continue;
            m_status.WriteStatus(" * DELETING FOLDER " + path, 2);
            removed = RemoveEntry(path, deletedFolder + entry.name);
            if (!removed)
                m_status.WriteError("[" + std::to_string(m_lastError) + "] Cannot delete folder " + path, false);
        } else {
            if (original && original->kind != FolderEntry::Kind::Folder)
                continue;
            m_status.WriteStatus(" * Delete file " + path, 1);
            removed = RemoveEntry(path, deletedFolder + entry.name);
            if (!removed)
                m_status.WriteError("[" + std::to_string(m_lastError) + "] Cannot delete file " + path, false);
        }
        if (removed)
            destinationList.markGone(entry.name);
    }
}

void MirrorEngine::mirrorEntry(const FolderEntry& source, const FolderEntry* current, const std::string& sourceFolder,
                               const std::string& destinationFolder, const std::string& deletedFolder)
{
    if (source.kind == FolderEntry::Kind::Other) {
        m_status.WriteStatus("Skip File " + source.name, 0); // pipes and devices are not copied
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
            m_status.WriteStatus("Skip File " + source.name, 0);
            return;
        }
        m_status.WriteStatus(" * Replace changed file " + target, 1);
        if (sourceTime < targetTime)
            m_status.WriteStatus(" *** Warning: Source file is OLDER then destination!", 1);
    }
    m_status.WriteStatus("Copy File " + source.name, 0);

    // The new copy is complete under a hidden name before the old one is put aside.
    const std::string temporary = core::temporarySibling(target);
    if (exists(temporary))
        unlink(temporary.c_str());
    const int error = source.kind == FolderEntry::Kind::Symlink ? core::copySymlink(sourcePath, temporary)
                                                                : core::copyRegularFile(sourcePath, temporary, m_keepAlive);
    if (error) {
        m_status.WriteError("Cannot copy file " + sourcePath, false);
        return;
    }
    if (found && !RemoveEntry(target, deletedFolder + source.name)) {
        // The old copy could not be put aside; keep it rather than overwrite it.
        unlink(temporary.c_str());
        m_status.WriteError("[" + std::to_string(m_lastError) + "] Cannot delete old file " + target, false);
        m_status.WriteError("Cannot copy file " + sourcePath, false);
        return;
    }
    if (core::renameNoReplace(temporary, target) != 0) {
        unlink(temporary.c_str());
        m_status.WriteError("Cannot copy file " + sourcePath, false);
    }
}

bool MirrorEngine::RemoveEntry(const std::string& path, const std::string& deletedPath)
{
    if (m_settings.delOption) {
        const core::TrashResult result = core::moveToTrash(path);
        if (result.outcome == core::TrashResult::Outcome::Trashed) {
            m_lastShellResult = 0;
            return true;
        }
        if (result.outcome == core::TrashResult::Outcome::Failed) {
            m_lastShellResult = m_lastError = result.error;
            return false;
        }
        // No trash can be had on this file system: delete for good, never following links.
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
        m_lastShellResult = m_lastError = ec.value();
        return !ec;
    }
    std::error_code ignored;
    std::filesystem::create_directories(parentOf(deletedPath), ignored);
    if (rename(path.c_str(), freeName(deletedPath).c_str()) == 0)
        return true;
    m_lastError = errno;
    return false;
}

bool MirrorEngine::CopyNewFolder(const std::string& source, const std::string& destination)
{
    m_lastShellResult = copyTree(source, destination);
    if (m_lastShellResult)
        m_lastError = m_lastShellResult;
    return m_lastShellResult == 0;
}

// Copies a whole folder, hidden entries included, links as links; a failing file is reported
// and the rest still copied. Returns 0 or the first errno.
int MirrorEngine::copyTree(const std::string& source, const std::string& destination)
{
    struct stat folder{};
    if (stat(source.c_str(), &folder) != 0)
        return errno;
    if (mkdir(destination.c_str(), 0700) != 0)
        return errno;
    FolderListing list;
    int firstError = list.read(source) ? 0 : list.error();
    for (const FolderEntry& entry : list.entries()) {
        if (!m_running)
            return ECANCELED;
        const std::string from = source + "/" + entry.name;
        const std::string to = destination + "/" + entry.name;
        int error = 0;
        if (entry.kind == FolderEntry::Kind::Folder) {
            error = copyTree(from, to);
        } else if (entry.kind != FolderEntry::Kind::Other) {
            m_status.WriteStatus("Copy File " + entry.name, 0);
            error = entry.kind == FolderEntry::Kind::Symlink ? core::copySymlink(from, to)
                                                             : core::copyRegularFile(from, to, m_keepAlive);
            if (error)
                m_status.WriteError("Cannot copy file " + from, false);
        }
        if (error && !firstError)
            firstError = error;
    }
    chmod(destination.c_str(), folder.st_mode & 07777);
    const timespec times[2] = {folder.st_atim, folder.st_mtim};
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
    tm local{};
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
    if (!m_frontEnd.askOkCancel(PauseTitle, PauseText))
        m_status.WriteError("Aborted by user!", true);
}
