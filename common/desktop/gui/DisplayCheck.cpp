#include "common/desktop/gui/DisplayCheck.h"

#include <cstdlib>
#include <initializer_list>

namespace desktop {

bool hasDisplay()
{
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

} // namespace desktop
