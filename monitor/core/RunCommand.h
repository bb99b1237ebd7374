#pragma once

// How an alert's command text becomes a started program, without a shell anywhere.
//
// The command names a file: the whole text (blanks around it and one pair of enclosing double
// quotes ignored), found on $PATH when it holds no "/". Only when no file of that name exists
// and the text holds blanks, its first word names the program and the other words come first
// among its arguments. The event's parameters follow as separate arguments, split at blanks,
// as a batch file sees them in %1 %2 %3...; no character in them means anything.
//
//  - a file with its run bit: started directly (a script through its own "#!" line);
//  - a script or program without its run bit (it begins with "#!" or is an ELF file, or its
//    name ends in ".sh"): not started, result AccessDenied; running it anyway would bypass the
//    owner's decision not to make it executable;
//  - any other file, and a folder: a document, opened with the desktop's opener as a double
//    click would; a document takes no parameters.
//
// The result numbers follow the numbers a desktop shell gives for a failed open: 32 or less is
// a failure, above 32 a start.

#include "monitor/core/FileManager.h"

#include <string>
#include <vector>

namespace monitor {

enum class RunResult : int
{
    OtherError = 0, // the system refused for another reason
    FileNotFound = 2, // no such file, and none of that name on $PATH
    PathNotFound = 3, // a folder of the path is missing or is no folder
    AccessDenied = 5, // no run bit, or the file system forbids running it
    OutOfMemory = 8, // no memory or process slots left to start it
    BadFormat = 11, // executable, but no format the system runs (no "#!", other machine)
    SharingViolation = 26, // the file is open for writing
    NoAssociation = 31, // a document, and the desktop has no opener to show it with
    Started = 42,
};

inline bool succeeded(RunResult result)
{
    return static_cast<int>(result) > 32;
}

// The words to start for a command text and the event's parameters, or the reason there are
// none (`result` is Started when `arguments` holds a program and its words).
struct RunPlan
{
    RunResult result = RunResult::Started;
    std::vector<std::string> arguments;
    bool document = false;
};
RunPlan planRun(const std::string& command, const std::string& parameters);

// Plans and starts through `starter` (which returns 0 or an errno).
RunResult runCommand(const std::string& command, const std::string& parameters, const ProgramStarter& starter);

// The result number for an errno of a start.
RunResult runResultOf(int error);

} // namespace monitor
