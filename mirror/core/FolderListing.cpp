#include "FolderListing.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirror {

namespace {

FolderEntry::Kind kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return FolderEntry::Kind::Folder;
    if (S_ISREG(mode))
        return FolderEntry::Kind::File;
    if (S_ISLNK(mode))
        return FolderEntry::Kind::Symlink;
    return FolderEntry::Kind::Other;
}

void fill(FolderEntry& entry, const struct stat& st)
{
    entry.kind = kindOf(st.st_mode);
    entry.size = static_cast<uint64_t>(st.st_size);
    entry.mtime = st.st_mtim.tv_sec;
    entry.uid = st.st_uid;
    entry.gid = st.st_gid;
    entry.mode = st.st_mode;
}

} // namespace

bool FolderListing::read(const std::string& folder)
{
    m_entries.clear();
    m_error = 0;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        m_error = errno;
        return false;
    }
    const int dirFd = dirfd(dir);
    errno = 0;
    while (dirent* d = readdir(dir)) {
        const std::string_view name(d->d_name);
        if (name == "." || name == "..")
            continue;
        FolderEntry entry;
        entry.name = std::string(name);
        if (d->d_type == DT_DIR) { // a folder's size and time play no part
            entry.kind = FolderEntry::Kind::Folder;
            m_entries.push_back(std::move(entry));
            errno = 0;
            continue;
        }
        struct stat st
        {
        };
        if (fstatat(dirFd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            fill(entry, st);
        } else if (errno == ENOENT) {
            errno = 0;
            continue; // gone since the folder was read
        } else if (m_error == 0) {
            m_error = errno; // an entry that cannot be looked at: the listing is not whole
        }
        m_entries.push_back(std::move(entry));
        errno = 0;
    }
    if (errno != 0 && m_error == 0)
        m_error = errno;
    closedir(dir);
    std::sort(
        m_entries.begin(), m_entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return m_error == 0;
}

const FolderEntry* FolderListing::find(const std::string& name) const
{
    const auto it
        = std::lower_bound(m_entries.begin(), m_entries.end(), name, [](const FolderEntry& e, const std::string& n) {
              return e.name < n;
          });
    return it != m_entries.end() && it->name == name ? &*it : nullptr;
}

void FolderListing::markGone(const std::string& name)
{
    const auto it
        = std::lower_bound(m_entries.begin(), m_entries.end(), name, [](const FolderEntry& e, const std::string& n) {
              return e.name < n;
          });
    if (it != m_entries.end() && it->name == name)
        it->gone = true;
}

bool FolderListing::stat(const std::string& path, FolderEntry& entry)
{
    struct stat st
    {
    };
    if (lstat(path.c_str(), &st) != 0)
        return false;
    fill(entry, st);
    return true;
}

bool FolderListing::isFolder(const std::string& path, bool followLink)
{
    struct stat st
    {
    };
    return statFolder(path, followLink, st) == 0;
}

int FolderListing::statFolder(const std::string& path, bool followLink, struct stat& st)
{
    const int rc = followLink ? ::stat(path.c_str(), &st) : lstat(path.c_str(), &st);
    if (rc != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

} // namespace mirror
