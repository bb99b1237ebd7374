#pragma once

// A claim on a file for the life of a process that looks after it (the monitor's watch mode
// and its data file), so that a second such process on the same file can tell and refuse to
// start. It is a shared advisory lock on one byte far beyond any file's end, apart from the
// bytes LockedFile locks, so reading and saving the file are not held up by it; a second
// claimant sees the first one's lock. The claim needs only read access.
//
// Saving replaces the file with a new one: LockedFile carries this process's claims over to
// the new file before it takes the old one's place, so the claim never lapses. A file replaced
// by someone else (an editor that writes a new file) loses the claim until claim() is called
// again.

#include <memory>
#include <string>
#include <sys/types.h>

struct stat;

namespace core {

// The byte that claims lock; LockedFile locks the bytes before it.
inline constexpr off_t ClaimByte = 0x7fff'ffff'ffff'fffeLL;

class FileClaim
{
public:
    enum class Result
    {
        Claimed,
        Taken, // another process claims the file
        Unclaimable, // no such file, or its file system keeps no locks: go on without
    };

    FileClaim();
    ~FileClaim();
    FileClaim(const FileClaim&) = delete;
    FileClaim& operator=(const FileClaim&) = delete;

    // Claims the file `path` names now, giving up what this object claimed before.
    Result claim(const std::string& path);
    void release();

    // For LockedFile: this process's claims on the file `old` go to the open file `replacement`.
    static void carryOver(const struct stat& old, int replacement);

private:
    struct Slot;
    struct Registry;
    static Registry& registry();

    std::shared_ptr<Slot> m_slot;
};

} // namespace core
