#pragma once

// One folder's entries with what the mirror compares: kind, size and modification time (and
// owner, for a run as root), read without following symbolic links. Entries are sorted by name
// for look-ups; the listing order the mirror walks in is this sorted order. A folder whose
// names can be read but whose entries cannot be looked at (read permission without search
// permission) counts as unreadable: a half-read listing must never pass for a whole one.

#include <cstdint>
#include <ctime>
#include <string>
#include <sys/types.h>
#include <vector>

struct stat;

namespace mirror {

struct FolderEntry
{
    enum class Kind
    {
        Folder,
        File,
        Symlink,
        Other, // devices, pipes, sockets: never copied
    };
    std::string name;
    Kind kind = Kind::Other;
    uint64_t size = 0;
    time_t mtime = 0;
    uid_t uid = 0; // owner, group and permission bits: not read for folders
    gid_t gid = 0;
    mode_t mode = 0;
    bool gone = false; // removed by the mirror since the listing was read
};

class FolderListing
{
public:
    // Lists `folder`; returns false (and `error()` is errno) when it cannot be read whole.
    bool read(const std::string& folder);
    int error() const { return m_error; }
    const std::vector<FolderEntry>& entries() const { return m_entries; }
    const FolderEntry* find(const std::string& name) const;
    // Records that the mirror removed an entry, so later look-ups see it absent.
    void markGone(const std::string& name);

    // Kind of one path without following a final link; nothing when it does not exist.
    static bool stat(const std::string& path, FolderEntry& entry);
    // Whether `path` is a folder; a final symbolic link counts only when `followLink` is set.
    static bool isFolder(const std::string& path, bool followLink);
    // The same with the folder's status in `st`: 0, ENOTDIR for another kind, or the errno.
    static int statFolder(const std::string& path, bool followLink, struct stat& st);

private:
    std::vector<FolderEntry> m_entries;
    int m_error = 0;
};

} // namespace mirror
