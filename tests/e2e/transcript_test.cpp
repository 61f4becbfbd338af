// Runs the pawnlark binary over every *.transcript file in this directory (the binary and a
// launcher in front of it as engine.h says).
//
// A transcript is a text file of directives, one per line:
//   # ...            a comment; blank lines are skipped too
//   args: A B ...    the arguments, split at spaces; "" stands for an empty argument
//   stdin: open      keep standard input open after the input (no end of input)
//   timeout-ms: N    how long the run may take before the process is killed (default 10000)
//   > TEXT           send TEXT and a line feed
//   >~ TEXT          send TEXT without a line feed
//   < TEXT           expect TEXT as the next line of standard output
//   exit: N          expect exit status N; "exit: killed" expects a process still running at
//                    the timeout (a stall)
//   wait-ms: N       send the lines that follow N milliseconds later, reading output meanwhile
//                    (for a thinking engine, whose answers depend on when commands arrive)
// TEXT and arguments take the escapes \\, \t, \r and \xHH, so invalid UTF-8, carriage
// returns and trailing spaces stay visible. "<" and ">" alone stand for an empty line.
// Standard output must match the expected lines exactly and standard error must be empty.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "engine.h"
#include "support/child_process.h"

namespace pawnlark {
namespace {

struct Transcript {
    support::ProcessRun run;
    // Input sent after a pause, each with the pause before it; `run.input` goes first.
    std::vector<std::pair<std::chrono::milliseconds, std::string>> later;
    std::string expected_out;
    std::optional<int> expected_exit;  // absent: expect a kill at the timeout
    bool has_exit = false;
    std::vector<std::string> errors;  // problems with the file itself
};

std::optional<int> read_number(std::string_view text, int base = 10) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || text.front() == '-' || error != std::errc{}
        || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::string unescape(std::string_view text, std::vector<std::string>& errors) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            result.push_back(text[i]);
            continue;
        }
        const char kind = i + 1 < text.size() ? text[i + 1] : '\0';
        if (kind == '\\') {
            result.push_back('\\');
        } else if (kind == 't') {
            result.push_back('\t');
        } else if (kind == 'r') {
            result.push_back('\r');
        } else if (const auto byte =
                       kind == 'x' ? read_number(text.substr(i + 2, 2), 16) : std::nullopt;
                   byte && i + 3 < text.size()) {
            result.push_back(static_cast<char>(*byte));
            i += 2;
        } else {
            errors.push_back("bad escape in: " + std::string(text));
            return result;
        }
        ++i;
    }
    return result;
}

// The text after a directive's marker: "> x" gives "x", a bare ">" gives "".
std::optional<std::string_view> payload(std::string_view line, std::string_view marker) {
    if (line == marker) {
        return std::string_view();
    }
    if (line.size() > marker.size() && line.starts_with(marker) && line[marker.size()] == ' ') {
        return line.substr(marker.size() + 1);
    }
    return std::nullopt;
}

Transcript parse_transcript(const std::filesystem::path& path) {
    Transcript transcript;
    std::vector<std::string>& errors = transcript.errors;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        errors.push_back("cannot open " + path.string());
        return transcript;
    }
    std::string line;
    while (std::getline(file, line)) {
        const std::string_view view = line;
        if (view.empty() || view.starts_with('#')) {
            continue;
        }
        std::string& input =
            transcript.later.empty() ? transcript.run.input : transcript.later.back().second;
        if (const auto text = payload(view, ">~")) {
            input += unescape(*text, errors);
        } else if (const auto sent = payload(view, ">")) {
            input += unescape(*sent, errors) + "\n";
        } else if (const auto wait = payload(view, "wait-ms:")) {
            const std::optional<int> ms = read_number(*wait);
            if (!ms) errors.push_back("bad wait: " + line);
            transcript.later.emplace_back(std::chrono::milliseconds(ms.value_or(0)), "");
        } else if (const auto expected = payload(view, "<")) {
            transcript.expected_out += unescape(*expected, errors) + "\n";
        } else if (const auto args = payload(view, "args:")) {
            std::istringstream words{std::string(*args)};
            std::string word;
            while (words >> word) {
                transcript.run.arguments.push_back(word == "\"\"" ? "" : unescape(word, errors));
            }
        } else if (view == "stdin: open") {
            transcript.run.close_stdin = false;
        } else if (const auto timeout = payload(view, "timeout-ms:")) {
            const std::optional<int> ms = read_number(*timeout);
            if (!ms) {
                errors.push_back("bad timeout: " + line);
            }
            transcript.run.timeout = std::chrono::milliseconds(ms.value_or(0));
        } else if (const auto status = payload(view, "exit:")) {
            transcript.has_exit = true;
            if (*status != "killed") {
                transcript.expected_exit = read_number(*status);
                if (!transcript.expected_exit) {
                    errors.push_back("bad exit status: " + line);
                }
            }
        } else {
            errors.push_back("unknown directive: " + line);
        }
    }
    if (!transcript.has_exit) {
        errors.push_back("no exit: line");
    }
    e2e::EngineCommand command = e2e::engine_command(std::move(transcript.run.arguments));
    transcript.run.program = std::move(command.program);
    transcript.run.arguments = std::move(command.arguments);
    return transcript;
}

// File names, so test listings stay short; the directory is E2E_TRANSCRIPT_DIR.
std::vector<std::string> transcript_files() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(E2E_TRANSCRIPT_DIR)) {
        if (entry.path().extension() == ".transcript") {
            files.push_back(entry.path().filename().string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = std::filesystem::path(info.param).stem().string();
    std::replace_if(
        name.begin(), name.end(),
        [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

// A run whose input comes in parts, each after its pause, while the output is read.
support::ProcessResult run_paced(const Transcript& transcript) {
    using support::Clock;
    const support::ProcessRun& run = transcript.run;
    const Clock::time_point end = Clock::now() + run.timeout;
    support::ChildProcess child(run.program, run.arguments);
    support::ProcessResult result;
    std::string_view input = run.input;
    for (std::size_t part = 0; part <= transcript.later.size(); ++part) {
        const bool last = part == transcript.later.size();
        const Clock::time_point until = last ? end : Clock::now() + transcript.later[part].first;
        child.communicate(input, last && run.close_stdin, until, result.out, result.err);
        if (!last) input = transcript.later[part].second;
    }
    const auto left = std::max(end - Clock::now(), Clock::duration::zero());
    const auto exit = child.wait_exit(std::chrono::duration_cast<std::chrono::milliseconds>(left));
    result.timed_out = !exit;
    const support::ChildExit ended = exit ? *exit : child.kill();
    result.exit_code = ended.exit_code;
    result.signal = ended.signal;
    return result;
}

class TranscriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(TranscriptTest, MatchesTheBinary) {
    const Transcript transcript =
        parse_transcript(std::filesystem::path(E2E_TRANSCRIPT_DIR) / GetParam());
    ASSERT_TRUE(transcript.errors.empty()) << transcript.errors.front();

    const support::ProcessResult result =
        transcript.later.empty() ? e2e::run_engine(transcript.run) : run_paced(transcript);
    EXPECT_EQ(result.out, transcript.expected_out);
    EXPECT_EQ(result.err, "");
    if (transcript.expected_exit) {
        EXPECT_FALSE(result.timed_out) << "still running after the timeout";
        EXPECT_EQ(result.exit_code, transcript.expected_exit);
    } else {
        EXPECT_TRUE(result.timed_out) << "ended with status " << result.exit_code.value_or(-1);
    }
}

INSTANTIATE_TEST_SUITE_P(Transcripts, TranscriptTest, ::testing::ValuesIn(transcript_files()),
                         test_name);

}  // namespace
}  // namespace pawnlark
