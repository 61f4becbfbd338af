#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the front end needs from the operating system. One source per system implements it:
// platform_posix.cpp (Linux, macOS and other POSIX systems) and platform_windows.cpp.
namespace pawnlark::platform {

// Readies the standard streams before anything is read or written: a front end that closes
// our output must make a write fail rather than end the process by a signal (SIGPIPE is
// ignored where it exists), and bytes pass both ways unchanged (binary mode where the C
// library would turn line feeds into CR LF or stop reading at a Ctrl-Z).
void prepare_standard_streams();

// Sleeps at least `milliseconds` on a monotonic clock; an interrupted sleep goes on with the
// time that is left.
void sleep_ms(std::uint64_t milliseconds);

// Writes all bytes to standard output. Absent on success; otherwise the system's text for the
// failure, as error_text words it.
std::optional<std::string> write_stdout(std::string_view bytes);

// Writes the bytes to standard error as far as it will take them: a failure there has nowhere
// left to be reported.
void write_stderr(std::string_view bytes);

// The text for a failure code as the system reports it (errno on POSIX, GetLastError on
// Windows). A closed pipe and a full device read "Broken pipe" and "No space left on device"
// on every system.
std::string error_text(int code);

#if defined(_WIN32)
// The arguments after the program's name, from UTF-16 to UTF-8; a lone surrogate becomes
// U+FFFD.
std::vector<std::string> utf8_arguments(int argc, wchar_t** argv);
#endif

}  // namespace pawnlark::platform
