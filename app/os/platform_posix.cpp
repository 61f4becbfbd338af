#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include "app/os/platform.h"

namespace pawnlark::platform {
namespace {

// Writes all bytes to the descriptor; false with errno set when the system refuses.
bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

void prepare_standard_streams() { std::signal(SIGPIPE, SIG_IGN); }

void sleep_ms(std::uint64_t milliseconds) {
    timespec request{};
    request.tv_sec = static_cast<std::time_t>(milliseconds / 1000);
    request.tv_nsec = static_cast<long>(milliseconds % 1000 * 1000000);
    timespec remaining{};
#if defined(_POSIX_CLOCK_SELECTION) && _POSIX_CLOCK_SELECTION > 0
    // clock_nanosleep returns its error instead of setting errno; after a signal `remaining`
    // holds the time still owed, so the full pause always passes.
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &request, &remaining) == EINTR) {
        request = remaining;
    }
#else
    // Without clock selection (macOS) a relative nanosleep is the monotonic wait there is.
    while (nanosleep(&request, &remaining) != 0 && errno == EINTR) {
        request = remaining;
    }
#endif
}

std::optional<std::string> write_stdout(std::string_view bytes) {
    if (write_all(STDOUT_FILENO, bytes)) return std::nullopt;
    return error_text(errno);
}

void write_stderr(std::string_view bytes) { static_cast<void>(write_all(STDERR_FILENO, bytes)); }

std::string error_text(int code) { return std::strerror(code); }

}  // namespace pawnlark::platform
