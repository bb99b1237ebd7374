#pragma once

// The application object of a window program: errors escaping an event handler reach the
// display set with setErrorDisplay (a message box), see core::Guarded.

#include "common/core/ConsoleApplication.h"

#include <QApplication>

namespace desktop {

using GuardedApplication = core::Guarded<QApplication>;

} // namespace desktop
