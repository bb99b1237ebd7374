#pragma once

// The cores hold text as bytes in the system code page (UTF-8 here); widgets hold QString.
// Every conversion between the two goes through these two functions.

#include <QString>

#include <string>

namespace desktop {

QString toQString(const std::string& bytes);
std::string toBytes(const QString& text);

} // namespace desktop
