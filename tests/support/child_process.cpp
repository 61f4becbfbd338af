#include "child_process.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace pawnlark::test {
namespace {

[[noreturn]] void exec_child(int in, int out, int err, const std::vector<char*>& argv) {
    // Only async-signal-safe calls between fork and exec.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
        ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

}  // namespace

void Fd::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
}

Pipe make_pipe() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe2 failed");
    }
    return Pipe{Fd(fds[0]), Fd(fds[1])};
}

void ignore_sigpipe() {
    static const bool done = [] {
        std::signal(SIGPIPE, SIG_IGN);
        return true;
    }();
    static_cast<void>(done);
}

pid_t spawn_child(const std::string& program, const std::vector<std::string>& arguments, int in,
                  int out, int err) {
    // Built before the fork: the child may not allocate.
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        exec_child(in, out, err, argv);
    }
    return pid;
}

}  // namespace pawnlark::test
