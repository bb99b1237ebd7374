#include "DesktopCommands.h"

#include "ProgramLauncher.h"

#include <cstdlib>

namespace core {

namespace {

constexpr const char* Opener = "xdg-open";
constexpr const char* TerminalEmulator = "x-terminal-emulator";
constexpr const char* TextEditor = "editor";

// The words of the first variable that holds any.
std::optional<std::vector<std::string>> wordsOf(
    const Environment& environment, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (const auto value = environment(name)) {
            auto words = splitWords(*value);
            if (!words.empty())
                return words;
        }
    }
    return std::nullopt;
}

// `editor` with the file, inside a terminal window.
std::vector<std::string> inTerminal(
    std::vector<std::string> editor, const std::string& path, const Environment& environment)
{
    std::vector<std::string> command
        = wordsOf(environment, { "TERMINAL" }).value_or(std::vector<std::string> { TerminalEmulator });
    command.emplace_back("-e");
    for (std::string& word : editor)
        command.push_back(std::move(word));
    command.push_back(path);
    return command;
}

} // namespace

Environment processEnvironment()
{
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value || !*value)
            return std::nullopt;
        return std::string(value);
    };
}

std::vector<std::string> openerCommand(const std::string& path)
{
    return { Opener, path };
}

std::vector<std::string> editorCommand(const std::string& path, const Environment& environment)
{
    // The variables name editors that run in a terminal (vi, nano), and a window program has none.
    auto words = wordsOf(environment, { "VISUAL", "EDITOR" });
    if (!words)
        return openerCommand(path);
    return inTerminal(std::move(*words), path, environment);
}

std::vector<std::string> terminalEditorCommand(const std::string& path, const Environment& environment)
{
    return inTerminal(wordsOf(environment, { "EDITOR", "VISUAL" }).value_or(std::vector<std::string> { TextEditor }),
        path,
        environment);
}

std::vector<std::string> folderCommand(const std::string& path)
{
    const size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    if (folder.empty())
        folder = "/";
    return openerCommand(folder);
}

} // namespace core
