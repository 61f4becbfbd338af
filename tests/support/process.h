#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pawnlark::test {

// Where the child's standard output goes.
enum class StdoutTarget : std::uint8_t {
    Pipe,        // collected into ProcessResult::out
    DevFull,     // /dev/full: every write fails with ENOSPC
    ClosedPipe,  // a pipe nobody reads: every write fails with EPIPE
};

// Names the target in test listings and failure messages.
void PrintTo(StdoutTarget target, std::ostream* os);

struct ProcessRun {
    std::string program;
    std::vector<std::string> arguments;  // after the program name
    std::string input;                   // bytes for standard input, written as the child reads
    bool close_stdin = true;  // false: input stays open (no end of input) until the child ends
    StdoutTarget stdout_target = StdoutTarget::Pipe;
    std::chrono::milliseconds timeout{10000};  // then the child is killed
};

struct ProcessResult {
    std::string out;
    std::string err;
    std::optional<int> exit_code;          // absent when the child ended by a signal
    std::optional<int> signal;             // the signal that ended it
    bool timed_out = false;                // still running at the timeout, so killed with SIGKILL
    std::chrono::microseconds cpu_time{};  // user plus system time of the child
    std::chrono::microseconds elapsed{};   // from the start to the child's end

    // Standard output split at line feeds; a text after the last line feed is a line too.
    std::vector<std::string> out_lines() const;
};

// Runs the program with the arguments, feeding the input and collecting both output streams,
// until it ends or the timeout passes. Only this child is ever signalled. The child starts
// with SIGPIPE at its default action, whatever the test process does with it.
ProcessResult run_process(const ProcessRun& run);

}  // namespace pawnlark::test
