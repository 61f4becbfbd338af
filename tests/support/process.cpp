#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <utility>

#include "child_process.h"

namespace pawnlark::test {
namespace {

using Clock = std::chrono::steady_clock;

// Appends what is available; false at end of file.
bool drain(int fd, std::string& into) {
    char buffer[65536];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
        into.append(buffer, static_cast<std::size_t>(count));
        return true;
    }
    return count < 0 && (errno == EINTR || errno == EAGAIN);
}

std::chrono::microseconds to_micros(const timeval& tv) {
    return std::chrono::seconds(tv.tv_sec) + std::chrono::microseconds(tv.tv_usec);
}

}  // namespace

void PrintTo(StdoutTarget target, std::ostream* os) {
    switch (target) {
        case StdoutTarget::Pipe:
            *os << "Pipe";
            return;
        case StdoutTarget::DevFull:
            *os << "DevFull";
            return;
        case StdoutTarget::ClosedPipe:
            *os << "ClosedPipe";
            return;
    }
}

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
    // A child that exits before taking all its input must not kill the test by SIGPIPE.
    ignore_sigpipe();

    Pipe in = make_pipe();
    Pipe out;
    Pipe err = make_pipe();
    Fd child_out;
    switch (run.stdout_target) {
        case StdoutTarget::Pipe:
            out = make_pipe();
            break;
        case StdoutTarget::DevFull:
            child_out = Fd(::open("/dev/full", O_WRONLY | O_CLOEXEC));
            if (!child_out.open()) {
                throw std::runtime_error("cannot open /dev/full");
            }
            break;
        case StdoutTarget::ClosedPipe:
            // The read end is gone before the child starts, so its first write fails.
            out = make_pipe();
            out.read.reset();
            break;
    }
    const int child_stdout = child_out.open() ? child_out.get() : out.write.get();

    const Clock::time_point start = Clock::now();
    const pid_t pid =
        spawn_child(run.program, run.arguments, in.read.get(), child_stdout, err.write.get());
    in.read.reset();
    out.write.reset();
    err.write.reset();
    child_out.reset();
    ::fcntl(in.write.get(), F_SETFL, O_NONBLOCK);

    ProcessResult result;
    const Clock::time_point deadline = start + run.timeout;
    std::string_view pending = run.input;
    if (pending.empty() && run.close_stdin) {
        in.write.reset();
    }

    // Feed input and collect output until both output streams end or time runs out.
    while (out.read.open() || err.read.open()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd fds[3];
        nfds_t count = 0;
        const auto watch = [&](const Fd& fd, short events) {
            if (fd.open()) {
                fds[count++] = pollfd{fd.get(), events, 0};
            }
        };
        watch(out.read, POLLIN);
        watch(err.read, POLLIN);
        if (!pending.empty()) {
            watch(in.write, POLLOUT);
        }
        if (::poll(fds, count, static_cast<int>(left.count())) < 0 && errno != EINTR) {
            throw std::runtime_error("poll failed");
        }
        for (nfds_t i = 0; i < count; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            if (fds[i].fd == in.write.get()) {
                const ssize_t written = ::write(fds[i].fd, pending.data(), pending.size());
                if (written > 0) {
                    pending.remove_prefix(static_cast<std::size_t>(written));
                } else if (errno != EAGAIN && errno != EINTR) {
                    pending = {};  // the child no longer reads
                }
                if (pending.empty() && run.close_stdin) {
                    in.write.reset();
                }
            } else if (fds[i].fd == out.read.get()) {
                if (!drain(fds[i].fd, result.out)) {
                    out.read.reset();
                }
            } else if (!drain(fds[i].fd, result.err)) {
                err.read.reset();
            }
        }
    }

    // The streams ended (or time ran out); the child may still be on its way out.
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            break;
        }
        if (Clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            result.timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    result.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    // Whatever a killed child wrote in its last moments is still in the pipes.
    for (Fd* fd : {&out.read, &err.read}) {
        if (fd->open()) {
            ::fcntl(fd->get(), F_SETFL, O_NONBLOCK);
            std::string& into = fd == &out.read ? result.out : result.err;
            char buffer[65536];
            ssize_t count = 0;
            while ((count = ::read(fd->get(), buffer, sizeof buffer)) > 0) {
                into.append(buffer, static_cast<std::size_t>(count));
            }
        }
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.cpu_time = to_micros(usage.ru_utime) + to_micros(usage.ru_stime);
    return result;
}

}  // namespace pawnlark::test
