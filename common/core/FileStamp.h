#pragma once

// What a file looked like at one moment: whether it was there, which file it was (device and
// inode, so a replacement by rename counts), its size and its modification time to the
// nanosecond. Two stamps that differ mean the file was written, replaced, created or removed
// in between.

#include <cstdint>
#include <ctime>
#include <string>

namespace core {

struct FileStamp
{
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;

    // The file `path` names now (a link is followed); an absent stamp when there is none.
    static FileStamp of(const std::string& path);

    bool operator==(const FileStamp&) const = default;
};

} // namespace core
