#pragma once

// A whole file read or written at once, serialised with the other processes that do the same:
// readers share a lock, a writer holds it alone from the read of the old text to the
// replacement (advisory locks on the file's open description, so any number of programs and
// threads may use them). The lock is taken on the file that the path names at that moment,
// and the path is checked to still name it afterwards, since a writer replaces the file.
//
// Replacing keeps readers from ever seeing half a file and a failure from leaving half a file:
// the new text goes to a hidden scratch file beside the file (".name.XXXXXX"), is flushed to
// the disk and renamed over it, with the old file's owner, group and permission bits. Where
// that is not possible without changing those (no scratch file may be made in the folder, the
// owner cannot be given back, other hard links name the file) the text is written into the
// file itself, its space reserved first where the file system allows, then flushed. The
// scratch file is removed on every path that does not rename it. New files get 0666 less the
// umask, as any file the program creates.

#include "common/core/RegularFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace core {

class LockedFile
{
public:
    enum class Access
    {
        Read, // shared lock; a lock not had within LockWaitMs is not waited for further
        Write, // exclusive lock; not had within LockWaitMs: EWOULDBLOCK
    };
    enum class Links
    {
        Follow, // a link to a regular file is that file: it is read, locked and replaced
        Replace, // a link at the path is no file of ours: it is replaced by one
    };

    static constexpr int LockWaitMs = 10'000;

    LockedFile(std::string path, Access access, Links links = Links::Follow);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    // 0, an errno value or NotRegularFile. A missing file is no error: exists() is false.
    int error() const { return m_error; }
    bool exists() const { return m_fd >= 0; }
    // The file as opened (valid while exists()).
    const struct stat& status() const { return m_status; }

    // The whole text; 0 or errno.
    int read(std::string& text) const;
    // Makes the file (created when missing) hold exactly `bytes`, as the header says; 0 or
    // errno. Once per object; Write access only. With `mode` (0600 for a file that holds a
    // password) the file gets those permission bits instead, before any byte is written.
    int replace(std::string_view bytes, std::optional<mode_t> mode = std::nullopt);

private:
    int open();
    int replaceBeside(const std::string& target, std::string_view bytes);
    int writeInPlace(std::string_view bytes);

    std::string m_path;
    Access m_access;
    Links m_links;
    int m_fd = -1;
    int m_error = 0;
    std::optional<mode_t> m_mode;
    struct stat m_status
    {
    };
};

// Replaces `path` with `bytes` (a link at the path is replaced too); 0, errno or NotRegularFile.
int writeWholeFile(const std::string& path, std::string_view bytes);

} // namespace core
