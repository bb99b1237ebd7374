#include "StandardOptions.h"

#include <algorithm>

namespace core {

namespace {

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

bool isSwitch(const std::string& argument)
{
    return argument.size() > 1 && argument.front() == '/'
        && std::all_of(argument.begin() + 1, argument.end(), isLetter);
}

std::string switchName(const std::string& argument)
{
    std::string name = argument;
    for (char& c : name)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return name;
}

StandardOption standardOptionOf(const std::string& argument)
{
    if (argument == "-h" || argument == "--help" || argument == "/?")
        return StandardOption::Help;
    if (argument == "-V" || argument == "--version")
        return StandardOption::Version;
    if (argument == "--")
        return StandardOption::EndOfOptions;
    if (!argument.empty() && argument.front() == '-')
        return StandardOption::Unknown;
    if (isSwitch(argument)) {
        const std::string name = switchName(argument);
        if (name == "/HELP")
            return StandardOption::Help;
        if (name == "/VERSION")
            return StandardOption::Version;
    }
    return StandardOption::None;
}

std::optional<CommandLineStop> stopFor(StandardOption option, const std::string& argument)
{
    using Kind = CommandLineStop::Kind;
    switch (option) {
    case StandardOption::Help:
        return CommandLineStop { Kind::Help, argument, {} };
    case StandardOption::Version:
        return CommandLineStop { Kind::Version, argument, {} };
    case StandardOption::Unknown:
        return CommandLineStop { Kind::UnknownOption, argument, {} };
    case StandardOption::None:
    case StandardOption::EndOfOptions:
        break;
    }
    return std::nullopt;
}

std::string complaintOf(const CommandLineStop& stop)
{
    if (stop.kind == CommandLineStop::Kind::BadValue)
        return "option " + stop.argument + " " + stop.detail;
    return "unknown option " + stop.argument;
}

CommandLineAnswer answerFor(const CommandLineStop& stop, const ProgramUsage& program, int errorStatus)
{
    switch (stop.kind) {
    case CommandLineStop::Kind::Help:
        return { program.usage, false, 0 };
    case CommandLineStop::Kind::Version:
        return { program.version + "\n", false, 0 };
    case CommandLineStop::Kind::UnknownOption:
    case CommandLineStop::Kind::BadValue:
        break;
    }
    return { program.name + ": " + complaintOf(stop) + "\n" + program.usage, true, errorStatus };
}

std::string ignoredSwitchWarning(const std::string& programName, const std::string& argument)
{
    return programName + ": unknown switch " + argument + " ignored";
}

} // namespace core
