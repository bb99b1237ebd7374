#pragma once

// Standard output as command-line programs keep it (coreutils' close_stdout): a reader that
// went away ("| head -1") or a full disk never ends the program half-way, since SIGPIPE is
// ignored and a write that fails is dropped; the first failure is remembered, and the program
// says so in one line on standard error at its end and exits with a failing status. A standard
// stream that is closed at the start gets a stand-in, so that no file the program opens takes
// its number (and receives its output); output to a closed standard output counts as failed.
//
// One object, made first thing in main, for the life of the program: it puts its own buffer
// under std::cout (written with write(2), flushed by std::endl or flush, or when full).

#include <memory>
#include <string>

namespace core {

class StandardOutput final
{
public:
    StandardOutput();
    ~StandardOutput();
    StandardOutput(const StandardOutput&) = delete;
    StandardOutput& operator=(const StandardOutput&) = delete;

    // Flushes std::cout; the errno of the first write that failed, or 0.
    int error();
    // `status`, or `failedStatus` with "<program>: cannot write to standard output: <reason>"
    // on standard error when anything written was lost (and `status` was 0).
    int finish(const std::string& program, int status, int failedStatus = 1);

private:
    class Buffer;
    std::unique_ptr<Buffer> m_buffer;
    std::streambuf* m_previous;
};

} // namespace core
