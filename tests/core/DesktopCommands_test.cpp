// Which words hand a file to the user's desktop, for each way the environment may be set.

#include "common/core/DesktopCommands.h"

#include <gtest/gtest.h>

#include <map>

namespace {

core::Environment environmentOf(std::map<std::string, std::string> variables)
{
    return [variables](const std::string& name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end() || found->second.empty())
            return std::nullopt;
        return found->second;
    };
}

using Words = std::vector<std::string>;

} // namespace

// A window program has no terminal: the editors of the variables run inside a terminal window.
TEST(DesktopCommands, TheEditorIsVisualThenEditorInATerminalThenTheOpener)
{
    struct Case
    {
        std::map<std::string, std::string> variables;
        Words editor;
        Words terminal;
    };
    const std::string file = "/var/log/my SEN.LOG";
    const std::vector<Case> cases = {
        { {}, { "xdg-open", file }, { "x-terminal-emulator", "-e", "editor", file } },
        { { { "VISUAL", "vim -p" }, { "EDITOR", "vi" } },
            { "x-terminal-emulator", "-e", "vim", "-p", file },
            { "x-terminal-emulator", "-e", "vi", file } },
        { { { "EDITOR", "nano" } },
            { "x-terminal-emulator", "-e", "nano", file },
            { "x-terminal-emulator", "-e", "nano", file } },
        { { { "VISUAL", "  " }, { "EDITOR", "mcedit" } },
            { "x-terminal-emulator", "-e", "mcedit", file },
            { "x-terminal-emulator", "-e", "mcedit", file } },
        { { { "VISUAL", "vi" }, { "TERMINAL", "xterm -fa Mono" } },
            { "xterm", "-fa", "Mono", "-e", "vi", file },
            { "xterm", "-fa", "Mono", "-e", "vi", file } },
        { { { "VISUAL", "$(rm -rf ~)" } },
            { "x-terminal-emulator", "-e", "$(rm", "-rf", "~)", file },
            { "x-terminal-emulator", "-e", "$(rm", "-rf", "~)", file } },
    };
    for (const Case& c : cases) {
        const auto environment = environmentOf(c.variables);
        EXPECT_EQ(core::editorCommand(file, environment), c.editor);
        EXPECT_EQ(core::terminalEditorCommand(file, environment), c.terminal);
    }
}

TEST(DesktopCommands, OpenerAndFolder)
{
    EXPECT_EQ(core::openerCommand("/a b/c.LOG"), (Words { "xdg-open", "/a b/c.LOG" }));
    EXPECT_EQ(core::folderCommand("/a b/c.LOG"), (Words { "xdg-open", "/a b" }));
    EXPECT_EQ(core::folderCommand("/c.LOG"), (Words { "xdg-open", "/" }));
    EXPECT_EQ(core::folderCommand("c.LOG"), (Words { "xdg-open", "." }));
}
