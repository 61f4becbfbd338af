#pragma once

// The engine that the end-to-end tests start: the binary named by PAWNLARK_BINARY in the
// environment, else the one this build made (the PAWNLARK_BINARY macro); started through the
// launcher named by PAWNLARK_LAUNCHER when that is set, such as Wine's loader for a Windows
// build's pawnlark.exe. The launcher is a path followed by any arguments, split at spaces.
// Tests of what only a direct child shows (its processor time, signals sent to it) skip
// themselves behind a launcher.

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"

namespace pawnlark::e2e {

// The launcher's words; none when the engine runs directly.
inline std::vector<std::string> launcher() {
    std::vector<std::string> words;
    const char* text = std::getenv("PAWNLARK_LAUNCHER");
    if (text == nullptr) return words;
    std::string word;
    for (const char* c = text;; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!word.empty()) words.push_back(std::exchange(word, {}));
            if (*c == '\0') break;
        } else {
            word.push_back(*c);
        }
    }
    return words;
}

inline bool behind_launcher() { return !launcher().empty(); }

inline std::string engine_binary() {
    const char* path = std::getenv("PAWNLARK_BINARY");
    return path != nullptr && *path != '\0' ? path : PAWNLARK_BINARY;
}

// What to spawn for the engine with `arguments`: the program and all the words after it.
struct EngineCommand {
    std::string program;
    std::vector<std::string> arguments;
};

inline EngineCommand engine_command(std::vector<std::string> arguments) {
    std::vector<std::string> words = launcher();
    words.push_back(engine_binary());
    words.insert(words.end(), std::make_move_iterator(arguments.begin()),
                 std::make_move_iterator(arguments.end()));
    EngineCommand command{std::move(words.front()), {}};
    command.arguments.assign(std::make_move_iterator(words.begin() + 1),
                             std::make_move_iterator(words.end()));
    return command;
}

// A whole run of the engine: the input given up front, the default timeout.
inline support::ProcessRun engine_run(std::vector<std::string> arguments, std::string input = {}) {
    EngineCommand command = engine_command(std::move(arguments));
    support::ProcessRun run;
    run.program = std::move(command.program);
    run.arguments = std::move(command.arguments);
    run.input = std::move(input);
    return run;
}

// Runs the engine to its end. Wine's loader now and then fails to start a program: it exits
// with status 1 at once, having written nothing on standard output, a status pawnlark never
// ends with. Behind a launcher such a run is made once more.
inline support::ProcessResult run_engine(const support::ProcessRun& run) {
    support::ProcessResult result = support::run_process(run);
    if (behind_launcher() && result.exit_code == 1 && result.out.empty()) {
        result = support::run_process(run);
    }
    return result;
}

// The engine as a live child, for a conversation.
inline support::ChildProcess start_engine(std::vector<std::string> arguments,
                                          const support::SpawnOptions& options = {}) {
    const EngineCommand command = engine_command(std::move(arguments));
    return support::ChildProcess(command.program, command.arguments, options);
}

}  // namespace pawnlark::e2e
