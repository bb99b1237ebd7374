#pragma once

// The test timer's interval from the interval box's text (minutes).

#include <string>

namespace monitor {

// With fractions allowed: the text as a decimal number of the locale; 1 minute for a text that
// is no number or not above 0. Otherwise: a whole number (an optional sign, then digits), 1
// minute for anything else, and for a negative number too; 0 stays 0, and a timer with
// interval 0 never ticks. Milliseconds, truncated, at most what a timer takes (INT_MAX).
int testTimerInterval(const std::string& text, bool allowFraction);

} // namespace monitor
