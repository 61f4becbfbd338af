#pragma once

// Named apart from the system <spawn.h>, which this directory on the include path would hide.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace pawnlark::test {

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

struct Pipe {
    Fd read;
    Fd write;
};

// Both ends close on exec, so a child only keeps what `spawn_child` hands it.
Pipe make_pipe();

// Sets SIGPIPE to ignored in this process, once: a child that stops reading must show up as
// EPIPE on the next write, not end the test.
void ignore_sigpipe();

// Forks and executes `program` with the arguments (after the program name), its standard input,
// output and error on the given descriptors. The child starts with SIGPIPE at its default action
// and no blocked signals, whatever this process does with them; a failed exec ends it with
// status 127. Returns the child's pid; throws when the fork fails.
pid_t spawn_child(const std::string& program, const std::vector<std::string>& arguments, int in,
                  int out, int err);

}  // namespace pawnlark::test
