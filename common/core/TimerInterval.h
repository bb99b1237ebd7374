#pragma once

// Interval boxes hold minutes as text; timers take whole milliseconds in an int. Each program
// keeps its own reading rules and hint texts; the conversion and its range live here.

#include <optional>
#include <string>

namespace core {

// The text as a whole number written with decimal digits only; nullopt for anything else
// (blanks, signs, fractions, an empty text, more digits than a long long holds).
std::optional<long long> wholeNumberOf(const std::string& text);

// minutes x 60000 ms, truncated; nullopt when the result is below 0 or beyond what a timer
// takes (about 35791 minutes).
std::optional<int> intervalFromMinutes(double minutes);

} // namespace core
