#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/engine/engine_options.h"
#include "app/engine/thinking.h"
#include "app/io/input.h"
#include "app/io/output.h"
#include "app/os/clock.h"
#include "app/protocol/dialect.h"
#include "velloran/chess/game.h"

namespace pawnlark {

// How a search's thinking ended.
enum class ThinkEnd : std::uint8_t {
    Done,     // the deadline or the depth limit: answer
    Stopped,  // "stop", "?", or the end of input under an endless search: answer
    Aborted,  // a command that ends the search without an answer; it is handled next
    Quit,     // "quit": the process ends
};

// The thinking of one search: prints its analysis as the depths come due on the clock and
// watches the input meanwhile, until the deadline (absent: until "stop", or "ponderhit" and
// then the budget), the depth limit, or a command that ends it. Commands that do not concern
// the search are put back on the input, in order, for the loop to handle afterwards. Waits
// sleep: thinking costs no processor time.
class ThinkLoop {
public:
    ThinkLoop(Output& out, WatchedInput& input, const Clock& clock, Dialect& dialect,
              const velloran::Game& game, const EngineOptions& options, const ThinkSettings& pace)
        : out_(out),
          input_(input),
          clock_(clock),
          dialect_(dialect),
          game_(game),
          options_(options),
          pace_(pace) {}

    // Thinks through `search` under `limits`; `deadline_ms` counts from now.
    ThinkEnd run(ThinkingSearch& search, ThinkLimits limits,
                 std::optional<std::uint64_t> deadline_ms);
    // Waits for the end of a search with nothing to analyse (no legal move): "stop" or
    // "ponderhit" end it, other commands act as they do mid-search.
    ThinkEnd wait_for_stop();

private:
    // What one command that arrived does; absent while the search goes on.
    std::optional<ThinkEnd> on_command(std::string line, ThinkingSearch* search,
                                       std::uint64_t elapsed_ms);
    std::uint64_t next_wake_ms(const ThinkingSearch& search) const;
    bool depth_limit_reached(const ThinkingSearch& search) const;
    bool endless() const;
    // Collects the lines of every depth due by `time_ms`; true if there was one.
    bool collect_due_depths(ThinkingSearch& search, std::uint64_t time_ms,
                            std::vector<std::string>& lines) const;
    void collect(const ThinkReport& report, std::vector<std::string>& lines) const;
    // The depths due by `time_ms`, even those a gathering wait held back, then the closing
    // line, in one write.
    void close_at(ThinkingSearch& search, std::uint64_t time_ms);
    void write(std::vector<std::string>& lines);

    Output& out_;
    WatchedInput& input_;
    const Clock& clock_;
    Dialect& dialect_;
    const velloran::Game& game_;
    const EngineOptions& options_;
    ThinkSettings pace_;
    // The search under way.
    ThinkLimits limits_;
    std::optional<std::uint64_t> deadline_ms_;
    std::uint64_t start_ms_ = 0;
    std::uint64_t last_line_ms_ = 0;
    std::optional<std::uint64_t> last_depth_wake_ms_;
};

}  // namespace pawnlark
