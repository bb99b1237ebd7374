#pragma once

// Starts another program the way a desktop does when the user opens something: directly, with
// an argument vector that no shell ever reads, and without waiting for it. The program runs as
// the child of a short-lived intermediate process that is reaped at once, so init adopts it
// and no zombie is left behind; it gets a session of its own, default signal handling, the
// caller's environment and standard streams, and none of the caller's other descriptors.

#include <string>
#include <vector>

namespace core {

// The file that would run for `name`: a name holding a slash as it stands, otherwise the first
// executable regular file of that name in a folder of $PATH. Empty when there is none.
std::string findProgram(const std::string& name);

// The words of a command variable such as $EDITOR ("code --wait"), split at blanks and tabs.
// Quotes and other shell syntax mean nothing here: the words are taken as they stand.
std::vector<std::string> splitWords(const std::string& text);

// Starts arguments[0] with `arguments` (the program name first). Returns 0 once the program
// runs, or the errno that kept it from starting: ENOENT when there is no such program,
// EACCES, ENOEXEC (a file without "#!" is never handed to a shell), EINVAL for no arguments
// or an argument holding a NUL byte.
int startProgram(const std::vector<std::string>& arguments);
// The same, and a started program comes with a process descriptor in `pidfd` that turns
// readable when the program ends (-1 where the kernel has none); the caller closes it.
int startFollowedProgram(const std::vector<std::string>& arguments, int& pidfd);

} // namespace core
