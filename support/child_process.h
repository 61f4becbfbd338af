#pragma once

// Child processes for tests, benchmarks and tools: spawned over pipes, fed and read with
// timeouts, timed, measured, and only ever signalled by their own pid (or the group they lead).

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pawnlark::support {

using Clock = std::chrono::steady_clock;

// A descriptor closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    int get() const { return fd_; }
    bool open() const { return fd_ >= 0; }
    void reset();

private:
    int fd_ = -1;
};

// Where one standard stream of a child goes.
enum class StreamTarget : std::uint8_t {
    Pipe,        // a pipe to this process
    Inherit,     // this process's own stream
    DevNull,     // /dev/null
    DevFull,     // /dev/full: every write fails with ENOSPC
    ClosedPipe,  // a pipe whose other end is gone before the child starts: a write fails with
                 // EPIPE (or SIGPIPE), a read sees the end of input
};

// Names the target in test listings and failure messages.
void PrintTo(StreamTarget target, std::ostream* os);

struct SpawnOptions {
    StreamTarget in = StreamTarget::Pipe;
    StreamTarget out = StreamTarget::Pipe;
    StreamTarget err = StreamTarget::Inherit;
    // The child leads a process group of its own, so kill_group also reaches whatever it
    // starts, and a terminal's signals to this process's group miss it.
    bool new_process_group = false;
    // "NAME=value" entries the child gets on top of this process's environment (an entry
    // replaces a variable of the same name), e.g. a mark to find its descendants by.
    std::vector<std::string> environment;
};

// How a child ended, with what it used.
struct ChildExit {
    std::optional<int> exit_code;          // absent when it ended by a signal
    std::optional<int> signal;             // the signal that ended it
    std::chrono::microseconds cpu_time{};  // user plus system time
    std::chrono::microseconds elapsed{};   // from the spawn to the reaping
    // wait4's ru_maxrss. Linux folds the spawner's own high-water mark into it at exec, so it
    // is never below this process's size at the fork: ChildProcess::peak_rss_kib is the
    // child's own.
    long ru_maxrss_kib = 0;
};

// One child with the standard streams chosen in SpawnOptions. It starts with SIGPIPE at its
// default action and no blocked signals, whatever this process does with them; a failed exec
// ends it with status 127. The first spawn sets SIGPIPE to ignored in this process, so writing
// to a child that has gone fails with EPIPE instead of ending the caller.
//
// The destructor closes the pipes, gives the child a bounded time to end, then kills it by its
// pid (its whole group with new_process_group) and reaps it: nothing is left running.
class ChildProcess {
public:
    // `program` is a path (no search of PATH); the arguments come after the program name.
    // When a pipe, /dev/null, /dev/full or the fork fails (as a poll could later), this
    // process ends with status 2 after saying why on standard error.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const SpawnOptions& options = {});
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();

    pid_t pid() const { return pid_; }
    Clock::time_point started() const { return started_; }

    // Writes the bytes whole, waiting while the pipe is full; false when the child no longer
    // reads or the input was closed (then it stays closed).
    bool write(std::string_view bytes);
    // Writes the line and a line feed.
    bool send(std::string_view line);
    // The child sees the end of its input.
    void close_input();

    // The next output line without its line feed; absent when none is complete within the
    // timeout or the output has ended (then `output_ended`). A text after the last line feed
    // is returned as a line once the output ends.
    std::optional<std::string> read_line(std::chrono::milliseconds timeout);
    bool output_ended() const { return !out_.open(); }

    // Feeds `input` as the child reads it (then closes the input if `close_after`) while
    // appending both output streams (those that are pipes) to `out` and `err`, until both end
    // or the deadline passes; true when they ended. Output already buffered by read_line goes
    // to `out` first. At a past deadline it only takes what is waiting in the pipes.
    bool communicate(std::string_view input, bool close_after, Clock::time_point deadline,
                     std::string& out, std::string& err);

    // Waits for the child to end and reaps it; absent when it is still running at the timeout.
    std::optional<ChildExit> wait_exit(std::chrono::milliseconds timeout);
    // Ends the child with SIGKILL now (if it has not ended yet) and reaps it.
    ChildExit kill();
    // SIGKILL to every process of the group the child leads (spawned with new_process_group;
    // otherwise as `kill`), then reaps the child. Its own children are reaped by their parent.
    ChildExit kill_group();

    // User plus system time so far: from /proc while the child runs (clock-tick resolution;
    // zero where there is no /proc), exact once it is reaped.
    std::chrono::microseconds cpu_time() const;
    // The peak resident set of the child's own image so far (VmHWM), in KiB; absent once it has
    // ended (its memory is gone before it can be reaped) or if /proc cannot tell (or is not
    // there, as on macOS). wait4's
    // ru_maxrss cannot serve: at exec Linux folds the spawner's own high-water mark into it.
    // So read it while the child waits, e.g. after it answered a request sent last.
    std::optional<long> peak_rss_kib() const;

private:
    void reap(int options);

    pid_t pid_ = -1;
    bool own_group_ = false;
    Clock::time_point started_;
    Fd in_;
    Fd out_;
    Fd err_;
    std::string buffer_;  // output read but not yet returned, from line_start_ on
    std::size_t line_start_ = 0;
    std::optional<ChildExit> exit_;
};

// The peak resident set of this process (VmHWM), in KiB; 0 if /proc cannot tell.
long own_peak_rss_kib();

// A whole run of a child that needs no conversation: input given up front, both outputs
// collected, a timeout.
struct ProcessRun {
    std::string program;
    std::vector<std::string> arguments;  // after the program name
    std::string input;                   // bytes for standard input, written as the child reads
    bool close_stdin = true;  // false: input stays open (no end of input) until the child ends
    StreamTarget stdout_target = StreamTarget::Pipe;
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
// until it ends or the timeout passes.
ProcessResult run_process(const ProcessRun& run);

}  // namespace pawnlark::support
