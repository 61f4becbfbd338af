#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <utility>

namespace pawnlark::test {
namespace {

using Clock = std::chrono::steady_clock;

// How long the destructor lets a child end on its own after its input has closed.
constexpr std::chrono::milliseconds GraceOnClose{2000};

std::chrono::microseconds to_micros(const timeval& tv) {
    return std::chrono::seconds(tv.tv_sec) + std::chrono::microseconds(tv.tv_usec);
}

int milliseconds_left(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

EngineProcess::EngineProcess(const std::string& program, const std::vector<std::string>& arguments,
                             Output output) {
    ignore_sigpipe();
    Pipe in = make_pipe();
    Pipe out;
    Fd child_out;
    switch (output) {
        case Output::Pipe:
            out = make_pipe();
            break;
        case Output::Discard:
            child_out = Fd(::open("/dev/null", O_WRONLY | O_CLOEXEC));
            if (!child_out.open()) {
                throw std::runtime_error("cannot open /dev/null");
            }
            break;
    }
    pid_ = spawn_child(program, arguments, in.read.get(),
                       child_out.open() ? child_out.get() : out.write.get(), STDERR_FILENO);
    in_ = std::move(in.write);
    out_ = std::move(out.read);
}

EngineProcess::~EngineProcess() {
    // Without our ends of the pipes the child sees the end of its input, and fails any write.
    in_.reset();
    out_.reset();
    if (!exit_ && !wait_exit(GraceOnClose)) {
        kill();
    }
}

bool EngineProcess::send(std::string_view line) {
    std::string text(line);
    text.push_back('\n');
    std::string_view pending = text;
    while (!pending.empty()) {
        if (!in_.open()) {
            return false;
        }
        const ssize_t written = ::write(in_.get(), pending.data(), pending.size());
        if (written > 0) {
            pending.remove_prefix(static_cast<std::size_t>(written));
        } else if (errno != EINTR) {
            in_.reset();  // the child no longer reads
            return false;
        }
    }
    return true;
}

void EngineProcess::close_input() { in_.reset(); }

std::optional<std::string> EngineProcess::read_line(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        if (const std::size_t end = buffer_.find('\n'); end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            return line;
        }
        if (!out_.open()) {
            if (buffer_.empty()) {
                return std::nullopt;
            }
            return std::exchange(buffer_, {});
        }
        pollfd watch{out_.get(), POLLIN, 0};
        const int ready = ::poll(&watch, 1, milliseconds_left(deadline));
        if (ready < 0 && errno != EINTR) {
            throw std::runtime_error("poll failed");
        }
        if (ready == 0) {
            return std::nullopt;
        }
        if (ready < 0) {
            continue;
        }
        char chunk[4096];
        const ssize_t count = ::read(out_.get(), chunk, sizeof chunk);
        if (count > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            out_.reset();
        }
    }
}

std::optional<ChildExit> EngineProcess::wait_exit(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    // A pid descriptor turns readable when the child ends, so the wait needs no polling loop.
    const Fd pid_fd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    while (!exit_) {
        reap(WNOHANG);
        if (exit_ || Clock::now() >= deadline) {
            break;
        }
        if (pid_fd.open()) {
            pollfd watch{pid_fd.get(), POLLIN, 0};
            ::poll(&watch, 1, milliseconds_left(deadline));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return exit_;
}

ChildExit EngineProcess::kill() {
    if (!exit_) {
        ::kill(pid_, SIGKILL);
        reap(0);
    }
    return *exit_;
}

void EngineProcess::reap(int options) {
    int status = 0;
    rusage usage{};
    pid_t done = 0;
    do {
        done = ::wait4(pid_, &status, options, &usage);
    } while (done < 0 && errno == EINTR);
    if (done != pid_) {
        return;
    }
    ChildExit result;
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.cpu_time = to_micros(usage.ru_utime) + to_micros(usage.ru_stime);
    result.max_rss_kib = usage.ru_maxrss;
    exit_ = result;
}

std::chrono::microseconds EngineProcess::cpu_time() const {
    if (exit_) {
        return exit_->cpu_time;
    }
    // Fields 14 and 15 of /proc/<pid>/stat, counted after the command name in parentheses,
    // which may itself hold spaces.
    std::ifstream file("/proc/" + std::to_string(pid_) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t name_end = text.rfind(')');
    if (name_end == std::string::npos) {
        return {};
    }
    std::istringstream fields(text.substr(name_end + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field) {
        fields >> skipped;
    }
    long long user_ticks = 0;
    long long system_ticks = 0;
    fields >> user_ticks >> system_ticks;
    const long ticks_per_second = ::sysconf(_SC_CLK_TCK);
    return std::chrono::microseconds((user_ticks + system_ticks) * 1000000 / ticks_per_second);
}

}  // namespace pawnlark::test
