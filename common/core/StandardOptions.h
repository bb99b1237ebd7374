#pragma once

// The command-line conventions both programs keep, as shells, scripts and service managers
// expect of any program. Each program's parser asks standardOptionOf first and reads only what
// is left:
//   "-h", "--help", "/?", "/HELP"      the usage on standard output, exit 0
//   "-V", "--version", "/VERSION"      the version on standard output, exit 0
//   "--"                               no later argument is an option ("SEN -- -net.SEN")
//   any other "-..."                   an unknown option: the usage on standard error, exit 2
// The "/" forms count in any letter case. A program's own switches are "/" and letters only;
// one it does not know is ignored, with a warning line where a console shows it.

#include <optional>
#include <string>

namespace core {

enum class StandardOption
{
    None, // an argument the program reads itself
    Help,
    Version,
    EndOfOptions,
    Unknown,
};

StandardOption standardOptionOf(const std::string& argument);

// "/" followed by letters only: "/TRAY", "/batch". Absolute paths ("/home/u/net.SEN", "/")
// are not switches.
bool isSwitch(const std::string& argument);
// The switch in capitals, for comparing without regard to letter case.
std::string switchName(const std::string& argument);

// What ends a program before it runs.
struct CommandLineStop
{
    enum class Kind
    {
        Help,
        Version,
        UnknownOption,
        BadValue, // an option's value that is missing or out of range
    };
    Kind kind;
    std::string argument; // the option concerned
    std::string detail; // for BadValue: what the value must be
};

// What a standard option asks for: help, version or an unknown option; nothing for None and
// EndOfOptions.
std::optional<CommandLineStop> stopFor(StandardOption option, const std::string& argument);

// A program's own texts.
struct ProgramUsage
{
    std::string name; // "SEN"
    std::string version; // one line
    std::string usage; // lines, each ending with a line feed
};

// What to show, where, and the exit status.
struct CommandLineAnswer
{
    std::string text; // lines, each ending with a line feed
    bool toStandardError = false;
    int exitStatus = 0;
};

inline constexpr int UsageErrorStatus = 2;

// Help and version on standard output, status 0; an unknown option or a bad value as
// "<name>: unknown option -x" (or the value's complaint) and the usage on standard error,
// with `errorStatus`.
CommandLineAnswer answerFor(
    const CommandLineStop& stop, const ProgramUsage& program, int errorStatus = UsageErrorStatus);
// The one line of an unknown option or a bad value, without the program's name.
std::string complaintOf(const CommandLineStop& stop);
// "<name>: unknown switch /X ignored": the console's warning.
std::string ignoredSwitchWarning(const std::string& programName, const std::string& argument);

} // namespace core
