#pragma once

// The log files' writer: every line opens the file, appends the text and CR LF, and closes it,
// so the file is complete after each line and another program may rotate or read it at any
// time. What a failure means is the caller's business; the writer only reports it. A path that
// names anything but a regular file (a FIFO, a device) is refused without opening it.

#include "common/core/RegularFile.h"

#include <string>

namespace core {

enum class WriteMode
{
    Append, // add to the end, creating the file when missing
    Truncate, // start the file afresh with this line
};

// Returns 0, or the error of the first step that failed (open, write or close): errno's
// number, or NotRegularFile (fileErrorText tells either).
int appendLine(const std::string& path, const std::string& text, WriteMode mode = WriteMode::Append);

} // namespace core
