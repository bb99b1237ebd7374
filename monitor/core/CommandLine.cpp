#include "monitor/core/CommandLine.h"

#include <QByteArray>

#include <algorithm>

namespace monitor {

namespace {

bool isSwitch(const std::string& argument)
{
    return argument.size() > 1 && argument.front() == '/'
        && std::all_of(argument.begin() + 1, argument.end(), [](char c) {
               return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
           });
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    CommandLine line;
    for (const std::string& argument : arguments) {
        if (argument.empty())
            continue;
        if (isSwitch(argument)) {
            const QByteArray name = QByteArray::fromStdString(argument).toUpper();
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
            continue;
        }
        if (line.dataFile)
            line.unusedDataFiles.push_back(*line.dataFile);
        line.dataFile = argument;
    }
    return line;
}

} // namespace monitor
