#include "mirror/core/CommandLine.h"

#include <QString>

#include <iterator>

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
        bool* const flags[] = { &line.batch, &line.tray, &line.console, &line.restore };
        const char* const names[] = { "/BATCH", "/TRAY", "/CONSOLE", "/RESTORE" };
        bool known = false;
        for (size_t k = 0; k < std::size(names); ++k) {
            const bool is = isSwitch(words[i], names[k]);
            *flags[k] = *flags[k] || is;
            known = known || is;
        }
        if (!known) // a path begins with a slash here, so any other word is an argument
            line.arguments.push_back(words[i]);
    }
    return line;
}

} // namespace mirror
