#pragma once

// The mounts this process sees, read from /proc/self/mountinfo. Device numbers alone cannot
// tell a bind mount from the folder it shows (both have the same device), and a rename between
// them still fails; the table tells which mount a path lies on, where that mount is, and which
// folder of its file system it shows.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace core {

struct MountEntry
{
    int id = 0;
    int parentId = 0;
    unsigned major = 0;
    unsigned minor = 0;
    std::string root; // the folder of the file system shown at the mount point
    std::string mountPoint;
    std::string fsType;
};

// A folder as its file system knows it: the device and the path from the file system's root.
// Two places on one device nest exactly when one path lies within the other.
struct FileSystemPlace
{
    unsigned major = 0;
    unsigned minor = 0;
    std::string path;
};

class MountTable
{
public:
    // The table of this process; empty when it cannot be read.
    static MountTable current();
    // Parses mountinfo text; malformed lines are left out. The ids of such a table are not
    // taken for this process's own, so paths are found by their mount points alone.
    static MountTable parse(std::string_view mountinfo);

    bool empty() const { return m_entries.empty(); }
    const std::vector<MountEntry>& entries() const { return m_entries; }

    // The mount that holds `realPath` (absolute, without links; it need not exist): in the
    // current table by the kernel's mount id of the path or its nearest existing folder, else
    // by the longest mount point that contains it. Null when the table is empty.
    const MountEntry* mountOf(const std::string& realPath) const;
    // Mounts whose mount point lies strictly below `realPath`.
    std::vector<const MountEntry*> mountsBelow(const std::string& realPath) const;
    // Where `realPath` lies in its file system.
    std::optional<FileSystemPlace> placeOf(const std::string& realPath) const;

private:
    const MountEntry* byId(int id) const;
    const MountEntry* byLongestPrefix(const std::string& realPath) const;

    std::vector<MountEntry> m_entries;
    bool m_current = false; // read from this process's own mountinfo
};

// Whether `inner` is `outer` or lies below it, comparing whole path components.
bool pathWithin(const std::string& inner, const std::string& outer);

// The kernel's id of the mount that `path` lies on (not following a final link), or -1.
int mountIdOf(const std::string& path);

} // namespace core
