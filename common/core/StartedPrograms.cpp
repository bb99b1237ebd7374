#include "StartedPrograms.h"

#include "ProgramLauncher.h"

#include <algorithm>
#include <unistd.h>

namespace core {

// A process descriptor turns readable when its program ends.
struct StartedPrograms::Program
{
    explicit Program(int pidfd)
        : pidfd(pidfd)
        , watcher(pidfd)
    {
        watcher.setOnReadable([this] {
            ended = true;
            watcher.watchRead(false);
        });
        watcher.watchRead(true);
    }
    ~Program() { ::close(pidfd); }

    int pidfd;
    FdWatcher watcher;
    bool ended = false;
};

StartedPrograms::StartedPrograms() = default;
StartedPrograms::~StartedPrograms() = default;

int StartedPrograms::start(const std::vector<std::string>& arguments)
{
    running(); // forgets the programs that have ended
    int pidfd = -1;
    const int error = startFollowedProgram(arguments, pidfd);
    if (pidfd >= 0)
        m_programs.push_back(std::make_unique<Program>(pidfd));
    return error;
}

int StartedPrograms::running()
{
    // Never from inside a watcher's handler: the event loop calls those, and this runs after.
    std::erase_if(m_programs, [](const std::unique_ptr<Program>& program) { return program->ended; });
    return static_cast<int>(m_programs.size());
}

bool StartedPrograms::waitForAll(std::chrono::milliseconds timeout, const std::function<bool()>& giveUp)
{
    waitFor([&] { return running() == 0 || (giveUp && giveUp()); }, timeout);
    return running() == 0;
}

} // namespace core
