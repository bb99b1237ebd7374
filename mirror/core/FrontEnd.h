#pragma once

// What a mirror run needs from whoever shows it, one role each: the status outlets, an asker
// for message boxes and the pause question, the busy state and tray picture, and an event
// pump. The desktop window and the console front end each implement all four; the engine
// never knows which one it talks to.

#include "common/core/Asker.h"
#include "common/core/EventPump.h"
#include "common/core/RunIndicator.h"
#include "mirror/core/StatusOutlets.h"

namespace mirror {

struct FrontEnd
{
    StatusOutlets& outlets;
    core::Asker& asker;
    core::RunIndicator& indicator;
    core::EventPump& pump;

    // For an object that plays every role.
    template <class AllRoles> static FrontEnd of(AllRoles& all) { return FrontEnd { all, all, all, all }; }
};

} // namespace mirror
