#include "mirror/core/CommandLine.h"

namespace mirror {

namespace {

constexpr const char* Usage = "Usage: RPL [/TRAY]\n"
                              "       RPL /BATCH [/CONSOLE]\n"
                              "       RPL /RESTORE destination [yyyy-mm-dd/hh-mm]\n"
                              "Mirrors every enabled folder pair of its settings; what a destination no longer\n"
                              "needs goes to the trash or into a dated DELETED folder.\n"
                              "  /TRAY        start with the window hidden in the tray\n"
                              "  /BATCH       mirror once and end, without saving the settings\n"
                              "  /CONSOLE     with /BATCH: without a window, for cron (exit 1 after any error)\n"
                              "  /RESTORE     list a destination's archived runs, or move one run back\n"
                              "  -h, --help   show this text\n"
                              "  -V, --version  show the version\n"
                              "Switches may come in any order and letter case.\n";

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& words)
{
    CommandLine line;
    bool optionsEnded = false;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0)
            line.text += ' ';
        line.text += words[i];
        if (i == 0)
            continue;
        const std::string& word = words[i];
        if (optionsEnded) {
            line.arguments.push_back(word);
            continue;
        }
        const core::StandardOption option = core::standardOptionOf(word);
        if (option == core::StandardOption::EndOfOptions) {
            optionsEnded = true;
            continue;
        }
        if (const auto stop = core::stopFor(option, word)) {
            if (!line.stop)
                line.stop = stop;
            continue;
        }
        const std::string name = core::isSwitch(word) ? core::switchName(word) : std::string();
        if (name == "/BATCH")
            line.batch = true;
        else if (name == "/TRAY")
            line.tray = true;
        else if (name == "/CONSOLE")
            line.console = true;
        else if (name == "/RESTORE")
            line.restore = true;
        else // a path begins with a slash here, so any other word is an argument
            line.arguments.push_back(word);
    }
    // Without /RESTORE no argument is read: one that looks like a switch was meant as one.
    if (!line.restore) {
        for (const std::string& argument : line.arguments)
            if (core::isSwitch(argument))
                line.ignoredSwitches.push_back(argument);
    }
    return line;
}

core::ProgramUsage programUsage()
{
    return { "RPL", VersionText, Usage };
}

} // namespace mirror
