#pragma once

// The programs one owner has started (alert programs, the shut-down program), followed until
// they end, so that a program about to exit can give them time to finish: a service manager
// stops whatever is left of a service once its main process has ended.

#include "common/core/EventLoop.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace core {

class StartedPrograms final
{
public:
    StartedPrograms();
    ~StartedPrograms();
    StartedPrograms(const StartedPrograms&) = delete;
    StartedPrograms& operator=(const StartedPrograms&) = delete;

    // Starts as startProgram does (0 or the errno) and follows the program.
    int start(const std::vector<std::string>& arguments);
    // Programs started here that have not ended yet.
    int running();
    // Sleeps in the event loop until every program started here has ended, `giveUp()` holds
    // or `timeout` has passed; true when none runs any more.
    bool waitForAll(std::chrono::milliseconds timeout, const std::function<bool()>& giveUp = {});

private:
    struct Program;
    std::vector<std::unique_ptr<Program>> m_programs;
};

} // namespace core
