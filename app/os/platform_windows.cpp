#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

#include "app/os/platform.h"

// Windows 10 1803 and later; older headers lack the name.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace pawnlark::platform {
namespace {

// Sleep() keeps to the system tick (15.6 ms by default), far coarser than the pauses asked
// for; a high-resolution waitable timer does not. One per thread: a timer is set and waited
// on in one go.
HANDLE high_resolution_timer() {
    thread_local const HANDLE timer = CreateWaitableTimerExW(
        nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    return timer;
}

// Waits about `nanoseconds` (at most a few days at a time).
void wait_once(std::int64_t nanoseconds) {
    if (HANDLE timer = high_resolution_timer(); timer != nullptr) {
        // A negative due time is relative, in 100 ns units.
        LARGE_INTEGER due{};
        due.QuadPart = -std::max<std::int64_t>(nanoseconds / 100, 1);
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) != 0) {
            WaitForSingleObject(timer, INFINITE);
            return;
        }
    }
    const std::int64_t milliseconds = (nanoseconds + 999999) / 1000000;
    Sleep(static_cast<DWORD>(std::min<std::int64_t>(milliseconds, INFINITE - 1)));
}

// Writes all bytes to the handle; false with the system's error code when it refuses.
bool write_all(HANDLE handle, std::string_view bytes, DWORD& error) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(
            std::min<std::size_t>(bytes.size(), std::numeric_limits<DWORD>::max()));
        DWORD written = 0;
        if (WriteFile(handle, bytes.data(), chunk, &written, nullptr) == 0) {
            error = GetLastError();
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

void prepare_standard_streams() {
    // No SIGPIPE here: a write to a closed pipe fails with ERROR_NO_DATA or ERROR_BROKEN_PIPE.
    // Text mode would turn "\n" into "\r\n" on output and end input at a Ctrl-Z byte.
    static_cast<void>(_setmode(_fileno(stdin), _O_BINARY));
    static_cast<void>(_setmode(_fileno(stdout), _O_BINARY));
}

void sleep_ms(std::uint64_t milliseconds) {
    using Clock = std::chrono::steady_clock;
    // Waits can end early (a timer's rounding, a lost timer), so the clock decides when the
    // whole pause has passed.
    constexpr std::uint64_t MaxMilliseconds = std::uint64_t{1} << 40;
    const Clock::time_point deadline =
        Clock::now() + std::chrono::milliseconds(std::min(milliseconds, MaxMilliseconds));
    for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now);
        constexpr std::int64_t LongestWait = std::int64_t{86400} * 1000000000;
        wait_once(std::min<std::int64_t>(left.count(), LongestWait));
    }
}

std::optional<std::string> write_stdout(std::string_view bytes) {
    DWORD error = 0;
    if (write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes, error)) return std::nullopt;
    return error_text(static_cast<int>(error));
}

void write_stderr(std::string_view bytes) {
    DWORD error = 0;
    static_cast<void>(write_all(GetStdHandle(STD_ERROR_HANDLE), bytes, error));
}

std::vector<std::string> utf8_arguments(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view wide(argv[i]);
        std::string text;
        if (!wide.empty()) {
            const int length = static_cast<int>(wide.size());
            const int bytes =
                WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
            text.resize(static_cast<std::size_t>(bytes));
            WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, text.data(), bytes, nullptr,
                                nullptr);
        }
        arguments.push_back(std::move(text));
    }
    return arguments;
}

std::string error_text(int code) {
    // The failures a front end causes read as they do on Linux, so one diagnostic serves both.
    switch (static_cast<DWORD>(code)) {
        case ERROR_BROKEN_PIPE:
        case ERROR_NO_DATA:
        case ERROR_PIPE_NOT_CONNECTED:
            return "Broken pipe";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return "No space left on device";
        case ERROR_INVALID_HANDLE:
            return "Bad file descriptor";
        default:
            break;
    }
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return "Windows error " + std::to_string(code);
    std::string message(text, length);
    LocalFree(text);
    // The system's texts end in ".\r\n"; the diagnostic adds its own line end.
    while (!message.empty()
           && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '
               || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

}  // namespace pawnlark::platform
