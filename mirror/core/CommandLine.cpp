#include "mirror/core/CommandLine.h"

#include <QString>

namespace mirror {

namespace {

bool isSwitch(const std::string& word, const char* name)
{
    return QString::fromLocal8Bit(word.c_str()).toUpper() == QLatin1String(name);
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& words)
{
    CommandLine line;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            line.text += ' ';
        line.text += words[i];
        if (i == 0)
            continue;
        line.batch = line.batch || isSwitch(words[i], "/BATCH");
        line.tray = line.tray || isSwitch(words[i], "/TRAY");
        line.console = line.console || isSwitch(words[i], "/CONSOLE");
    }
    return line;
}

} // namespace mirror
