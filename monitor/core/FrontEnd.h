#pragma once

// What the monitor needs from whoever shows it, one role each: the activity pane, an asker
// for message boxes and questions, the busy state and tray picture, the data file and
// settings view, and the tests' view (timer hint, busy pointer, foreground). The desktop
// window and the console front end each implement all five; the controller never knows which
// one it talks to.

#include "common/core/ActivityOutlet.h"
#include "common/core/Asker.h"
#include "common/core/RunIndicator.h"
#include "monitor/core/SettingsView.h"
#include "monitor/core/TestView.h"

namespace monitor {

struct FrontEnd
{
    core::ActivityOutlet& activity;
    core::Asker& asker;
    core::RunIndicator& indicator;
    SettingsView& view;
    TestView& tests;

    // For an object that plays every role.
    template <class AllRoles> static FrontEnd of(AllRoles& all) { return FrontEnd { all, all, all, all, all }; }
};

} // namespace monitor
