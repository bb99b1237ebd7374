#pragma once

// The three 16 x 16 state pictures of the destination list, painted at run time so that no
// image file has to travel with the program: a cyan question mark (under test), a green check
// mark (OK) and a red cross (Fail).

#include "monitor/core/Destination.h"

#include <QIcon>

namespace monitor {

// The picture of a state; a null icon for StateImage::None.
QIcon statePicture(StateImage state);

} // namespace monitor
