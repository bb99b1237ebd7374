#pragma once

// Every time stamp written into lines, mails and parameters: the locale's short date, one
// blank, the locale's time with seconds; the time is left out at exactly 00:00:00.
// The locale is QLocale's default, so tests can pin it with QLocale::setDefault.

#include <string>

class QDateTime;

namespace core {

std::string dateTimeText(const QDateTime& when);
std::string nowText();

// The locale's time with seconds and without a time-zone name, e.g. "9:30:05 AM" or "09:30:05".
std::string timeText(const QDateTime& when);

} // namespace core
