#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace pawnlark::support {
namespace {

constexpr int SystemFailureStatus = 2;
// How long the destructor lets a child end on its own after its input has closed.
constexpr std::chrono::milliseconds GraceOnClose{2000};
// Read at most this much in one go, so a child that floods cannot hold a caller past its
// timeout.
constexpr int MaxChunksPerDrain = 16;

// The system refused a pipe, a device, a fork or a poll: nothing sensible is left to do.
[[noreturn]] void fail(const std::string& what) {
    const int error = errno;
    const std::string message = "child process: " + what + ": " + std::strerror(error) + "\n";
    static_cast<void>(::write(STDERR_FILENO, message.data(), message.size()));
    std::exit(SystemFailureStatus);
}

std::chrono::microseconds to_micros(const timeval& tv) {
    return std::chrono::seconds(tv.tv_sec) + std::chrono::microseconds(tv.tv_usec);
}

int milliseconds_left(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void set_nonblocking(const Fd& fd) {
    if (fd.open()) {
        ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
    }
}

void ignore_sigpipe() {
    static const bool done = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    static_cast<void>(done);
}

struct Pipe {
    Fd read;
    Fd write;
};

// A pipe whose ends both close on exec.
Pipe make_pipe() {
    int fds[2];
#if defined(__linux__)
    if (::pipe2(fds, O_CLOEXEC) != 0) fail("pipe2");
    return {Fd(fds[0]), Fd(fds[1])};
#else
    // Without pipe2 (macOS) the flag follows the pipe: a spawn on another thread in between
    // would let its child keep the ends, which the callers here never do.
    if (::pipe(fds) != 0) fail("pipe");
    for (const int fd : fds) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return {Fd(fds[0]), Fd(fds[1])};
#endif
}

// The child's end of one standard stream and this process's end, if it has one.
struct StreamEnds {
    Fd child;
    Fd ours;
    int inherited = -1;  // this process's own stream, handed down as it is

    int child_fd() const { return child.open() ? child.get() : inherited; }
};

// Both ends of every pipe close on exec, so a child only keeps what it is handed.
StreamEnds stream_ends(StreamTarget target, int standard_fd) {
    const bool child_reads = standard_fd == STDIN_FILENO;
    StreamEnds ends;
    const auto open_device = [&](const char* path) {
        ends.child = Fd(::open(path, (child_reads ? O_RDONLY : O_WRONLY) | O_CLOEXEC));
        if (!ends.child.open()) fail(std::string("cannot open ") + path);
    };
    switch (target) {
        case StreamTarget::Pipe:
        case StreamTarget::ClosedPipe: {
            Pipe made = make_pipe();
            Fd read = std::move(made.read);
            Fd write = std::move(made.write);
            ends.child = std::move(child_reads ? read : write);
            // With ClosedPipe our end goes out of scope here, before the child starts.
            if (target == StreamTarget::Pipe) ends.ours = std::move(child_reads ? write : read);
            break;
        }
        case StreamTarget::Inherit:
            ends.inherited = standard_fd;
            break;
        case StreamTarget::DevNull:
            open_device("/dev/null");
            break;
        case StreamTarget::DevFull:
            open_device("/dev/full");
            break;
    }
    return ends;
}

[[noreturn]] void exec_child(const std::array<int, 3>& streams, bool new_process_group,
                             const std::vector<char*>& argv, char* const* envp) {
    // Only async-signal-safe calls between fork and exec.
    if (new_process_group) ::setpgid(0, 0);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int fd = 0; fd < 3; ++fd) {
        if (::dup2(streams[static_cast<std::size_t>(fd)], fd) < 0) ::_exit(126);
    }
    ::execve(argv[0], argv.data(), envp);
    ::_exit(127);
}

// This process's environment with the extra "NAME=value" entries, each replacing its name.
std::vector<std::string> child_environment(const std::vector<std::string>& extra) {
    const auto name_of = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view variable(*entry);
        bool replaced = false;
        for (const std::string& added : extra) replaced |= name_of(added) == name_of(variable);
        if (!replaced) variables.emplace_back(variable);
    }
    variables.insert(variables.end(), extra.begin(), extra.end());
    return variables;
}

// Appends what is waiting (a bounded amount); false at the end of the stream or on an error.
bool drain(const Fd& fd, std::string& into) {
    char buffer[65536];
    for (int chunk = 0; chunk < MaxChunksPerDrain; ++chunk) {
        const ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
        if (count > 0) {
            into.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
            return false;
        } else if (errno == EAGAIN) {
            return true;
        }
    }
    return true;
}

// The number after `key` in a /proc status file, in KiB; absent where there is no /proc.
std::optional<long> status_field_kib(const std::string& path, std::string_view key) {
#if defined(__linux__)
    std::ifstream status(path);
    std::string line;
    while (std::getline(status, line)) {
        if (line.starts_with(key)) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
#else
    static_cast<void>(path);
    static_cast<void>(key);
#endif
    return std::nullopt;
}

}  // namespace

void Fd::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void PrintTo(StreamTarget target, std::ostream* os) {
    switch (target) {
        case StreamTarget::Pipe:
            *os << "Pipe";
            return;
        case StreamTarget::Inherit:
            *os << "Inherit";
            return;
        case StreamTarget::DevNull:
            *os << "DevNull";
            return;
        case StreamTarget::DevFull:
            *os << "DevFull";
            return;
        case StreamTarget::ClosedPipe:
            *os << "ClosedPipe";
            return;
    }
}

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const SpawnOptions& options)
    : own_group_(options.new_process_group) {
    ignore_sigpipe();
    StreamEnds in = stream_ends(options.in, STDIN_FILENO);
    StreamEnds out = stream_ends(options.out, STDOUT_FILENO);
    StreamEnds err = stream_ends(options.err, STDERR_FILENO);

    // Built before the fork: the child may not allocate.
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables = child_environment(options.environment);
    std::vector<char*> envp;
    envp.reserve(variables.size() + 1);
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);

    started_ = Clock::now();
    pid_ = ::fork();
    if (pid_ < 0) fail("fork");
    if (pid_ == 0) {
        exec_child({in.child_fd(), out.child_fd(), err.child_fd()}, own_group_, argv, envp.data());
    }
    // Also here, so the group exists before this process signals it, whichever runs first.
    if (own_group_) ::setpgid(pid_, pid_);
    in_ = std::move(in.ours);
    out_ = std::move(out.ours);
    err_ = std::move(err.ours);
    for (const Fd* fd : {&in_, &out_, &err_}) set_nonblocking(*fd);
}

ChildProcess::~ChildProcess() {
    // Without our ends of the pipes the child sees the end of its input, and fails any write.
    in_.reset();
    out_.reset();
    err_.reset();
    if (!exit_) wait_exit(GraceOnClose);
    kill_group();
}

bool ChildProcess::write(std::string_view bytes) {
    while (!bytes.empty()) {
        if (!in_.open()) return false;
        const ssize_t written = ::write(in_.get(), bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
        } else if (errno == EAGAIN) {
            pollfd watch{in_.get(), POLLOUT, 0};
            ::poll(&watch, 1, -1);
        } else if (errno != EINTR) {
            in_.reset();  // the child no longer reads
            return false;
        }
    }
    return true;
}

bool ChildProcess::send(std::string_view line) {
    std::string text;
    text.reserve(line.size() + 1);
    text.append(line);
    text.push_back('\n');
    return write(text);
}

void ChildProcess::close_input() { in_.reset(); }

std::optional<std::string> ChildProcess::read_line(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        if (const std::size_t end = buffer_.find('\n', line_start_); end != std::string::npos) {
            std::string line = buffer_.substr(line_start_, end - line_start_);
            line_start_ = end + 1;
            return line;
        }
        // The buffer only ever holds the start of one line.
        buffer_.erase(0, line_start_);
        line_start_ = 0;
        if (!out_.open()) {
            if (buffer_.empty()) return std::nullopt;
            return std::exchange(buffer_, {});
        }
        pollfd watch{out_.get(), POLLIN, 0};
        const int ready = ::poll(&watch, 1, milliseconds_left(deadline));
        if (ready < 0 && errno != EINTR) fail("poll");
        if (ready == 0) return std::nullopt;
        if (ready > 0 && !drain(out_, buffer_)) out_.reset();
    }
}

bool ChildProcess::communicate(std::string_view input, bool close_after, Clock::time_point deadline,
                               std::string& out, std::string& err) {
    out.append(buffer_, line_start_);
    buffer_.clear();
    line_start_ = 0;
    std::string_view pending = in_.open() ? input : std::string_view{};
    if (pending.empty() && close_after) close_input();
    while (out_.open() || err_.open() || !pending.empty()) {
        const int left = milliseconds_left(deadline);
        std::array<pollfd, 3> fds{};
        nfds_t count = 0;
        const auto watch = [&](const Fd& fd, short events) {
            if (fd.open()) fds[count++] = pollfd{fd.get(), events, 0};
        };
        if (!pending.empty()) watch(in_, POLLOUT);
        watch(out_, POLLIN);
        watch(err_, POLLIN);
        if (::poll(fds.data(), count, left) < 0 && errno != EINTR) fail("poll");
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) continue;
            if (fds[i].fd == in_.get()) {
                const ssize_t written = ::write(in_.get(), pending.data(), pending.size());
                if (written > 0) {
                    pending.remove_prefix(static_cast<std::size_t>(written));
                } else if (errno != EAGAIN && errno != EINTR) {
                    in_.reset();  // the child no longer reads
                    pending = {};
                }
                if (pending.empty() && close_after) close_input();
            } else if (fds[i].fd == out_.get()) {
                if (!drain(out_, out)) out_.reset();
            } else if (!drain(err_, err)) {
                err_.reset();
            }
        }
        if (left == 0) break;
    }
    return !out_.open() && !err_.open();
}

std::optional<ChildExit> ChildProcess::wait_exit(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    // A pid descriptor turns readable when the child ends, so the wait needs no polling loop;
    // without one (before Linux 5.3, other systems) the loop polls every millisecond.
#if defined(__linux__) && defined(SYS_pidfd_open)
    const Fd pid_fd(exit_ ? -1 : static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
#else
    const Fd pid_fd;
#endif
    while (!exit_) {
        reap(WNOHANG);
        if (exit_ || Clock::now() >= deadline) break;
        if (pid_fd.open()) {
            pollfd watch{pid_fd.get(), POLLIN, 0};
            ::poll(&watch, 1, milliseconds_left(deadline));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return exit_;
}

ChildExit ChildProcess::kill() {
    if (!exit_) {
        ::kill(pid_, SIGKILL);
        reap(0);
    }
    return *exit_;
}

ChildExit ChildProcess::kill_group() {
    if (!own_group_) return kill();
    // The group outlives a reaped leader while any member is left, and its number with it.
    ::kill(-pid_, SIGKILL);
    return kill();
}

void ChildProcess::reap(int options) {
    int status = 0;
    rusage usage{};
    pid_t done = 0;
    do {
        done = ::wait4(pid_, &status, options, &usage);
    } while (done < 0 && errno == EINTR);
    if (done != pid_) return;
    ChildExit result;
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.cpu_time = to_micros(usage.ru_utime) + to_micros(usage.ru_stime);
    result.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started_);
#if defined(__APPLE__)
    result.ru_maxrss_kib = usage.ru_maxrss / 1024;  // bytes there
#else
    result.ru_maxrss_kib = usage.ru_maxrss;
#endif
    exit_ = result;
}

std::chrono::microseconds ChildProcess::cpu_time() const {
    if (exit_) return exit_->cpu_time;
#if !defined(__linux__)
    return {};
#else
    // Fields 14 and 15 of /proc/<pid>/stat, counted after the command name in parentheses,
    // which may itself hold spaces.
    std::ifstream file("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t name_end = text.rfind(')');
    if (name_end == std::string::npos) return {};
    std::istringstream fields(text.substr(name_end + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    long long user_ticks = 0;
    long long system_ticks = 0;
    fields >> user_ticks >> system_ticks;
    const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
    return std::chrono::microseconds((user_ticks + system_ticks) * 1000000 / ticks_per_second);
#endif
}

std::optional<long> ChildProcess::peak_rss_kib() const {
    // Unreaped, the pid is still ours; an ended child's status has no VmHWM line.
    if (exit_) return std::nullopt;
    return status_field_kib("/proc/" + std::to_string(pid_) + "/status", "VmHWM:");
}

long own_peak_rss_kib() { return status_field_kib("/proc/self/status", "VmHWM:").value_or(0); }

std::vector<std::string> ProcessResult::out_lines() const {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        const std::size_t end = out.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(out.substr(start));
            break;
        }
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

ProcessResult run_process(const ProcessRun& run) {
    SpawnOptions options;
    options.out = run.stdout_target;
    options.err = StreamTarget::Pipe;
    ChildProcess child(run.program, run.arguments, options);
    const Clock::time_point deadline = child.started() + run.timeout;

    ProcessResult result;
    child.communicate(run.input, run.close_stdin, deadline, result.out, result.err);
    // The streams ended (or time ran out); the child may still be on its way out.
    std::optional<ChildExit> exit =
        child.wait_exit(std::chrono::milliseconds(milliseconds_left(deadline)));
    if (!exit) {
        exit = child.kill();
        result.timed_out = true;
    }
    // Whatever a killed child wrote in its last moments is still in the pipes.
    child.communicate({}, true, Clock::now(), result.out, result.err);
    result.exit_code = exit->exit_code;
    result.signal = exit->signal;
    result.cpu_time = exit->cpu_time;
    result.elapsed = exit->elapsed;
    return result;
}

}  // namespace pawnlark::support
