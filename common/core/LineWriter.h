#pragma once

// The log files' writer: every line opens the file, appends the text and CR LF, and closes it,
// so the file is complete after each line and another program may rotate or read it at any
// time. What a failure means is the caller's business; the writer only reports it.

#include <string>

namespace core {

enum class WriteMode
{
    Append, // add to the end, creating the file when missing
    Truncate, // start the file afresh with this line
};

// Returns 0, or the errno of the first step that failed (open, write or close).
int appendLine(const std::string& path, const std::string& text, WriteMode mode = WriteMode::Append);

// Creates or truncates `path` and writes `bytes` as they stand; 0 or the errno of the step
// that failed. A partly written file is left as it is.
int writeWholeFile(const std::string& path, const std::string& bytes);

} // namespace core
