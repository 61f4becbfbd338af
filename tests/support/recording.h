#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/io/output.h"
#include "app/os/system.h"

namespace pawnlark::test {

// Keeps every reply line, in order.
class RecordingOutput final : public Output {
public:
    void line(std::string_view text) override { lines.emplace_back(text); }
    void unterminated(std::string_view text) override {
        lines.emplace_back(text);
        last_unterminated = true;
    }

    std::vector<std::string> lines;
    bool last_unterminated = false;  // the last line was written without its line end
};

// Thrown by RecordingSystem where the real one would stall or end the process; tests only.
struct SystemHalt {
    enum class Kind : std::uint8_t { Stall, Exit };
    Kind kind = Kind::Exit;
    ExitStatus status = ExitStatus::Ok;
};

// Records pauses instead of sleeping; stall and exit throw SystemHalt.
class RecordingSystem final : public System {
public:
    void sleep_ms(std::uint64_t milliseconds) override { sleeps.push_back(milliseconds); }
    [[noreturn]] void stall() override;
    void note(std::string_view line) override { notes.emplace_back(line); }
    [[noreturn]] void exit(ExitStatus status) override;

    std::vector<std::uint64_t> sleeps;
    std::vector<std::string> notes;  // what went to standard error
};

}  // namespace pawnlark::test
