#include "monitor/core/CommandLine.h"

#include "monitor/core/DataFile.h"

namespace monitor {

namespace {

using core::CommandLineStop;
using Kind = CommandLineStop::Kind;

constexpr const char* Usage = "Usage: SEN [/TRAY] [datafile]\n"
                              "       SEN /CONSOLE [/ONCE] [datafile]\n"
                              "       SEN /NAGIOS [-t seconds] [datafile]\n"
                              "       SEN /HISTORY [datafile]\n"
                              "Watches hosts and services; alerts by mail or a program when one changes state.\n"
                              "  /TRAY        start with the window hidden in the tray\n"
                              "  /CONSOLE     run without a window until SIGTERM; SIGHUP reads the data file again\n"
                              "  /ONCE        with /CONSOLE: test every destination once and end (0: all OK)\n"
                              "  /NAGIOS      test once, print one line for Icinga or Nagios (0 OK, 2, 3)\n"
                              "  -t seconds   with /NAGIOS: end the check after that long (default 50)\n"
                              "  /HISTORY     print each destination's uptime from the history; test nothing\n"
                              "  -h, --help   show this text\n"
                              "  -V, --version  show the version\n"
                              "Switches may come in any order and letter case; without a datafile SEN uses SEN.INI.\n";

// "-t 50", "-t50", "--timeout 50", "--timeout=50": the option as typed and whether its value
// is the next argument; nothing for any other argument.
std::optional<std::pair<std::string, std::optional<std::string>>> timeoutOption(const std::string& argument)
{
    if (argument == "-t" || argument == "--timeout")
        return std::make_pair(argument, std::optional<std::string>());
    if (argument.rfind("--timeout=", 0) == 0)
        return std::make_pair(std::string("--timeout"), std::optional<std::string>(argument.substr(10)));
    if (argument.size() > 2 && argument.rfind("-t", 0) == 0)
        return std::make_pair(std::string("-t"), std::optional<std::string>(argument.substr(2)));
    return std::nullopt;
}

std::optional<int> secondsOf(const std::string& text)
{
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int seconds = std::stoi(text);
    return seconds >= 1 && seconds <= MaxCheckTimeout ? std::optional<int>(seconds) : std::nullopt;
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& words)
{
    CommandLine line;
    bool optionsEnded = false;
    std::optional<CommandLineStop> timeoutProblem;
    std::optional<std::string> timeoutName;
    const auto stopWith = [&line](Kind kind, const std::string& argument, const std::string& detail = {}) {
        if (!line.stop)
            line.stop = CommandLineStop { kind, argument, detail };
    };
    const auto takeDataFile = [&line](const std::string& argument) {
        if (line.dataFile)
            line.unusedDataFiles.push_back(*line.dataFile);
        line.dataFile = argument;
    };
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string& argument = words[i];
        if (argument.empty())
            continue;
        if (optionsEnded) {
            takeDataFile(argument);
            continue;
        }
        if (const auto option = timeoutOption(argument)) {
            timeoutName = option->first;
            const std::string value = option->second ? *option->second : i + 1 < words.size() ? words[++i] : "";
            if (const auto seconds = secondsOf(value))
                line.checkTimeout = *seconds;
            else if (!timeoutProblem)
                timeoutProblem = CommandLineStop { Kind::BadValue,
                    option->first,
                    "takes a number of seconds from 1 to " + std::to_string(MaxCheckTimeout) };
            continue;
        }
        const core::StandardOption option = core::standardOptionOf(argument);
        if (option == core::StandardOption::EndOfOptions) {
            optionsEnded = true;
            continue;
        }
        if (const auto stop = core::stopFor(option, argument)) {
            if (!line.stop)
                line.stop = stop;
            continue;
        }
        if (!core::isSwitch(argument)) {
            takeDataFile(argument);
            continue;
        }
        const std::string name = core::switchName(argument);
        if (name == "/TRAY")
            line.tray = true;
        else if (name == "/CONSOLE")
            line.console = true;
        else if (name == "/ONCE")
            line.once = true;
        else if (name == "/NAGIOS")
            line.nagios = true;
        else if (name == "/HISTORY")
            line.history = true;
        else
            line.ignoredSwitches.push_back(argument);
    }
    // The time-out belongs to the check alone.
    if (timeoutName && !line.nagios)
        stopWith(Kind::UnknownOption, *timeoutName);
    else if (timeoutProblem)
        stopWith(timeoutProblem->kind, timeoutProblem->argument, timeoutProblem->detail);
    return line;
}

core::ProgramUsage programUsage()
{
    return { "SEN", VersionInfo, Usage };
}

} // namespace monitor
