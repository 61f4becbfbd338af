#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "child_process.h"

namespace pawnlark::test {

// How a child ended, with what it used.
struct ChildExit {
    std::optional<int> exit_code;          // absent when it ended by a signal
    std::optional<int> signal;             // the signal that ended it
    std::chrono::microseconds cpu_time{};  // user plus system time
    // wait4's ru_maxrss. Linux folds the spawner's own high-water mark into it at exec, so it
    // is never below this process's size at the fork.
    long max_rss_kib = 0;
};

// A child driven one line at a time over pipes, for conversations whose next line depends on
// the last answer. Standard error is shared with this process. The destructor closes both
// pipes, gives the child a bounded time to end and then kills it by its pid, and reaps it:
// nothing is left running. This process ignores SIGPIPE from the first engine on, so writing
// to a child that has gone fails with EPIPE instead.
class EngineProcess {
public:
    enum class Output : std::uint8_t {
        Pipe,     // read with read_line
        Discard,  // /dev/null
    };

    EngineProcess(const std::string& program, const std::vector<std::string>& arguments,
                  Output output = Output::Pipe);
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;
    ~EngineProcess();

    pid_t pid() const { return pid_; }

    // Writes the line and a line feed, whole; false when the child no longer reads or the
    // input was closed.
    bool send(std::string_view line);
    // The child sees the end of its input.
    void close_input();

    // The next output line without its line feed; absent when none is complete within the
    // timeout or the output has ended (then `output_ended`). A text after the last line feed
    // is returned as a line once the output ends.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
    bool output_ended() const { return !out_.open(); }

    // Waits for the child to end and reaps it; absent when it is still running at the timeout.
    std::optional<ChildExit> wait_exit(std::chrono::milliseconds timeout);
    // Ends the child with SIGKILL now (if it has not ended yet) and reaps it.
    ChildExit kill();
    // User plus system time so far: from /proc while the child runs (clock-tick resolution),
    // exact once it is reaped.
    std::chrono::microseconds cpu_time() const;

private:
    void reap(int options);

    pid_t pid_ = -1;
    Fd in_;
    Fd out_;
    std::string buffer_;  // output read but not yet returned
    std::optional<ChildExit> exit_;
};

}  // namespace pawnlark::test
