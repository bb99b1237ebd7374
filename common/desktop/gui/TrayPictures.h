#pragma once

// The two tray pictures of a program, painted at run time so that no image file has to travel
// with it: a rounded square with the program's letters, picture 0 (idle) in blue and picture 1
// (busy, or attention) in orange, so the state shows even where the tray renders them tiny.

#include <QIcon>
#include <QString>

#include <array>

namespace desktop {

std::array<QIcon, 2> makeTrayPictures(const QString& letters);

} // namespace desktop
