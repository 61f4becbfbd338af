#include "app/os/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <unistd.h>

#include <cerrno>
#endif

namespace pawnlark::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What write_stdout says when standard output is a pipe, and the bytes that reached the other
// end; with `reader_open` false that end is closed before the write. Standard output is the
// test runner's own again before anything is checked or printed.
struct PipeWrite {
    std::optional<std::string> failure;
    std::string received;
};

#if defined(_WIN32)

PipeWrite write_through_pipe(std::string_view bytes, bool reader_open) {
    HANDLE read_end = nullptr;
    HANDLE write_end = nullptr;
    if (CreatePipe(&read_end, &write_end, nullptr, 1 << 16) == 0) return {"no pipe", {}};
    if (!reader_open) CloseHandle(std::exchange(read_end, nullptr));
    const HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, write_end);
    PipeWrite result{write_stdout(bytes), {}};
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(write_end);
    if (read_end != nullptr) {
        char buffer[256];
        DWORD count = 0;
        while (ReadFile(read_end, buffer, sizeof buffer, &count, nullptr) != 0 && count > 0) {
            result.received.append(buffer, count);
        }
        CloseHandle(read_end);
    }
    return result;
}

#else

PipeWrite write_through_pipe(std::string_view bytes, bool reader_open) {
    int ends[2];
    if (::pipe(ends) != 0) return {"no pipe", {}};
    if (!reader_open) ::close(std::exchange(ends[0], -1));
    // A write to a pipe nobody reads must fail, not end the test runner.
    prepare_standard_streams();
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(ends[1], STDOUT_FILENO);
    PipeWrite result{write_stdout(bytes), {}};
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    ::close(ends[1]);
    if (ends[0] >= 0) {
        char buffer[256];
        ssize_t count = 0;
        while ((count = ::read(ends[0], buffer, sizeof buffer)) > 0) {
            result.received.append(buffer, static_cast<std::size_t>(count));
        }
        ::close(ends[0]);
    }
    return result;
}

#endif

TEST(PlatformSleep, WholePausePasses) {
    const Clock::time_point start = Clock::now();
    sleep_ms(40);
    EXPECT_GE(Clock::now() - start, milliseconds(40));
    const Clock::time_point zero = Clock::now();
    sleep_ms(0);
    EXPECT_LT(Clock::now() - zero, milliseconds(20));
}

// A pause of 5 ms (the default delay) slept through Windows' Sleep() takes a whole system tick,
// about 15.6 ms: twenty of them would take over 300 ms.
TEST(PlatformSleep, ShortPausesAreNotRoundedUpToTheSystemTick) {
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 20; ++i) sleep_ms(1);
    const Clock::duration slept = Clock::now() - start;
    EXPECT_GE(slept, milliseconds(20));
    EXPECT_LT(slept, milliseconds(200));
}

TEST(PlatformWriteStdout, BytesLeaveUnchanged) {
    // No line feed becomes CR LF, and a Ctrl-Z byte is just a byte.
    const std::string bytes =
        std::string("bestmove e2e4\nreadyok\r\n\x1a") + '\0' + "\xe2\x98\x83\n";
    const PipeWrite result = write_through_pipe(bytes, true);
    EXPECT_EQ(result.failure, std::nullopt);
    EXPECT_EQ(result.received, bytes);
}

TEST(PlatformWriteStdout, ClosedPipeFailsWithTheLinuxText) {
    EXPECT_EQ(write_through_pipe("readyok\n", false).failure, "Broken pipe");
}

TEST(PlatformErrorText, FailuresFrontEndsCauseReadTheSameEverywhere) {
#if defined(_WIN32)
    for (const DWORD closed : {ERROR_BROKEN_PIPE, ERROR_NO_DATA, ERROR_PIPE_NOT_CONNECTED}) {
        EXPECT_EQ(error_text(static_cast<int>(closed)), "Broken pipe") << closed;
    }
    for (const DWORD full : {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL}) {
        EXPECT_EQ(error_text(static_cast<int>(full)), "No space left on device") << full;
    }
    EXPECT_EQ(error_text(ERROR_INVALID_HANDLE), "Bad file descriptor");
#else
    EXPECT_EQ(error_text(EPIPE), "Broken pipe");
    EXPECT_EQ(error_text(ENOSPC), "No space left on device");
    EXPECT_EQ(error_text(EBADF), "Bad file descriptor");
#endif
}

#if defined(_WIN32)

TEST(PlatformErrorText, OtherFailuresHaveTheSystemsTextOnOneLine) {
    const std::string text = error_text(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_FALSE(text.ends_with('.')) << text;
}

TEST(PlatformStreams, StandardStreamsAreBinary) {
    prepare_standard_streams();
    // _setmode gives the mode it replaces.
    EXPECT_EQ(_setmode(_fileno(stdin), _O_BINARY), _O_BINARY);
    EXPECT_EQ(_setmode(_fileno(stdout), _O_BINARY), _O_BINARY);
}

TEST(PlatformArguments, Utf16ArgumentsBecomeUtf8) {
    wchar_t program[] = L"pawnlark.exe";
    wchar_t name[] = L"\u2603 x";
    wchar_t empty[] = L"";
    wchar_t emoji[] = L"\U0001F600";
    wchar_t lone_surrogate[] = {0xD800, L'a', 0};
    wchar_t* argv[] = {program, name, empty, emoji, lone_surrogate};
    EXPECT_EQ(utf8_arguments(5, argv),
              (std::vector<std::string>{"\xe2\x98\x83 x", "", "\xf0\x9f\x98\x80",
                                        "\xef\xbf\xbd"
                                        "a"}));
    EXPECT_EQ(utf8_arguments(1, argv), std::vector<std::string>{});
}

#endif

}  // namespace
}  // namespace pawnlark::platform
