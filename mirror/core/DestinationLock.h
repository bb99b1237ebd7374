#pragma once

// An exclusive lock on a pair's destination folder for as long as a run works on it, so two
// runs (two cron jobs, a window and a cron job) never write into one destination at once. It is
// a flock on the folder itself: no lock file is made, and the lock goes with the process.

#include <string>

namespace mirror {

class DestinationLock
{
public:
    enum class Outcome
    {
        Held, // this run holds the folder
        Busy, // another run holds it
        Unlockable, // the folder or its file system takes no lock (it is worked on unlocked)
    };

    DestinationLock() = default;
    ~DestinationLock();
    DestinationLock(const DestinationLock&) = delete;
    DestinationLock& operator=(const DestinationLock&) = delete;

    // Locks the folder `path` (a link to a folder is followed) without waiting.
    Outcome take(const std::string& path);
    void release();

private:
    int m_fd = -1;
};

} // namespace mirror
