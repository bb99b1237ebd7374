#include "monitor/core/RunCommand.h"

#include "common/core/DesktopCommands.h"
#include "common/core/ProgramLauncher.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace monitor {

namespace {

std::string withoutBlanksAndQuotes(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(" \t");
    std::string name = text.substr(first, last - first + 1);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        name = name.substr(1, name.size() - 2);
    return name;
}

// The file a name stands for: itself when it holds a slash, else the program on $PATH.
std::string locate(const std::string& name)
{
    return name.find('/') != std::string::npos ? name : core::findProgram(name);
}

bool endsWith(const std::string& text, const char* suffix)
{
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// A script or binary rather than a document, judged by its first bytes and its name.
bool looksLikeProgram(const std::string& path)
{
    if (endsWith(path, ".sh"))
        return true;
    char head[4] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const ssize_t n = ::read(fd, head, sizeof head);
    ::close(fd);
    return (n >= 2 && head[0] == '#' && head[1] == '!')
        || (n == 4
            && std::memcmp(head,
                   "\x7f"
                   "ELF",
                   4)
                == 0);
}

RunResult missingFile(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return RunResult::FileNotFound;
    struct stat folder
    {
    };
    const std::string parent = path.substr(0, slash);
    return ::stat(parent.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) ? RunResult::FileNotFound
                                                                           : RunResult::PathNotFound;
}

RunPlan failed(RunResult result)
{
    return RunPlan { result, {}, false };
}

} // namespace

RunResult runResultOf(int error)
{
    switch (error) {
    case 0:
        return RunResult::Started;
    case ENOENT:
        return RunResult::FileNotFound;
    case ENOTDIR:
    case ELOOP:
    case ENAMETOOLONG:
        return RunResult::PathNotFound;
    case EACCES:
    case EPERM:
        return RunResult::AccessDenied;
    case ENOMEM:
    case EAGAIN:
    case EMFILE:
    case ENFILE:
    case E2BIG:
        return RunResult::OutOfMemory;
    case ENOEXEC:
        return RunResult::BadFormat;
    case ETXTBSY:
        return RunResult::SharingViolation;
    default:
        return RunResult::OtherError;
    }
}

RunPlan planRun(const std::string& command, const std::string& parameters)
{
    const std::string name = withoutBlanksAndQuotes(command);
    if (name.empty())
        return failed(RunResult::FileNotFound);
    std::vector<std::string> words;
    std::string path = locate(name);
    struct stat st
    {
    };
    int error = path.empty() ? ENOENT : (::stat(path.c_str(), &st) == 0 ? 0 : errno);
    if (error != 0 && name.find_first_of(" \t") != std::string::npos) {
        // The text as program and words; when that names nothing either, the whole text's
        // failure is the one to report.
        std::vector<std::string> split = core::splitWords(name);
        const std::string first = locate(split.front());
        if (!first.empty() && ::stat(first.c_str(), &st) == 0) {
            path = first;
            split.erase(split.begin());
            words = std::move(split);
            error = 0;
        }
    }
    if (error == ENOENT)
        return failed(path.empty() ? RunResult::FileNotFound : missingFile(path));
    if (error != 0)
        return failed(runResultOf(error));
    if (S_ISDIR(st.st_mode))
        return RunPlan { RunResult::Started, core::openerCommand(path), true };
    if (!S_ISREG(st.st_mode))
        return failed(RunResult::BadFormat);
    if (::access(path.c_str(), X_OK) != 0) {
        if (looksLikeProgram(path))
            return failed(RunResult::AccessDenied);
        return RunPlan { RunResult::Started, core::openerCommand(path), true };
    }
    std::vector<std::string> arguments { path };
    arguments.insert(arguments.end(), words.begin(), words.end());
    for (std::string& word : core::splitWords(parameters))
        arguments.push_back(std::move(word));
    return RunPlan { RunResult::Started, std::move(arguments), false };
}

RunResult runCommand(const std::string& command, const std::string& parameters, const ProgramStarter& starter)
{
    const RunPlan plan = planRun(command, parameters);
    if (!succeeded(plan.result))
        return plan.result;
    const RunResult result = runResultOf(starter(plan.arguments));
    // The opener itself missing means the desktop cannot show documents at all.
    if (plan.document && result == RunResult::FileNotFound)
        return RunResult::NoAssociation;
    return result;
}

} // namespace monitor
