#include "mirror/core/CommandLine.h"

namespace mirror {

namespace {

constexpr const char* Usage = "Usage: RPL [/TRAY]\n"
                              "       RPL /BATCH [/CONSOLE]\n"
                              "Mirrors every enabled folder pair of its settings; what a destination no longer\n"
                              "needs goes to the trash or into a dated DELETED folder.\n"
                              "  /TRAY        start with the window hidden in the tray\n"
                              "  /BATCH       mirror once and end, without saving the settings\n"
                              "  /CONSOLE     with /BATCH: without a window, for cron (exit 1 after any error)\n"
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
        if (i == 0 || optionsEnded)
            continue;
        const std::string& word = words[i];
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
        if (!core::isSwitch(word))
            continue;
        const std::string name = core::switchName(word);
        if (name == "/BATCH")
            line.batch = true;
        else if (name == "/TRAY")
            line.tray = true;
        else if (name == "/CONSOLE")
            line.console = true;
        else
            line.ignoredSwitches.push_back(word);
    }
    return line;
}

core::ProgramUsage programUsage()
{
    return { "RPL", VersionText, Usage };
}

} // namespace mirror
