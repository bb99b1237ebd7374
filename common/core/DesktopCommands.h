#pragma once

// The argument vectors with which a program hands a file to the user's desktop: the desktop's
// opener, the user's editor, a terminal editor inside a terminal emulator, and the folder
// holding a file. Only the words are chosen here; ProgramLauncher starts them, never a shell.
// The environment comes in as a function so that the choices can be tested.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace core {

// Looks up an environment variable; nothing when it is unset or empty.
using Environment = std::function<std::optional<std::string>(const std::string& name)>;
Environment processEnvironment();

// The desktop's opener: the program registered for the file's type opens it.
std::vector<std::string> openerCommand(const std::string& path);

// The user's editor with the file, for a window program: $VISUAL, then $EDITOR (each may hold
// words such as "vim -p"), inside a terminal window as terminalEditorCommand starts one, since
// these name editors that need a terminal; without them the desktop's opener.
std::vector<std::string> editorCommand(const std::string& path, const Environment& environment);

// A text-mode editor in a terminal window: $TERMINAL or x-terminal-emulator, "-e", then
// $EDITOR, $VISUAL or Debian's "editor" alternative with the file.
std::vector<std::string> terminalEditorCommand(const std::string& path, const Environment& environment);

// The desktop's opener on the folder that holds `path` ("." for a bare name).
std::vector<std::string> folderCommand(const std::string& path);

} // namespace core
